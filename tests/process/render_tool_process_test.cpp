// scatterview-render run whole, from a folder of its own (a copy of the program with data/font.dds and
// its own config.ini): the picture, every override against its config key, the turntable, the config
// file left alone, and the errors.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "render_tool_fixture.h"

namespace {

using testsupport::CompareImages;
using testsupport::ReadPng;
using testsupport::RgbImage;
using testsupport::RenderTool;
using testsupport::Count;

constexpr uint32_t kBackground = 0x140000, kGreen = 0x008040, kWhite = 0xFFFFFF;

TEST_F(RenderTool, DrawsTheDefaultViewAsA640By480Picture) {
  RgbImage image = Picture("");
  ASSERT_EQ(image.width, 640);
  ASSERT_EQ(image.height, 480);
  for (auto [x, y] : std::vector<std::pair<int, int>>{{639, 50}, {600, 440}, {630, 300}})
    EXPECT_EQ(image.Pixel(x, y), kBackground) << x << "," << y;
  EXPECT_GT(Count(image, kBackground), 640L * 480 / 2);
  EXPECT_GT(Count(image, kGreen), 500) << "the axes";
  EXPECT_GT(Count(image, kWhite), 599) << "the rows and the help text";
  // The help text's first glyph row: "[MOUSE..." starts at the top-left.
  long topWhite = 0;
  for (int x = 0; x < 200; ++x)
    for (int y = 0; y < 8; ++y) topWhite += image.Pixel(x, y) == kWhite;
  EXPECT_GT(topWhite, 100);
}

TEST_F(RenderTool, EachOverrideDrawsWhatItsConfigKeyDraws) {
  const RgbImage defaults = Picture("");
  struct Case {
    std::string key;
    std::vector<std::string> option;
  };
  const std::vector<Case> cases = {
      {"CAMERA_T=100", {"--theta", "100"}}, {"CAMERA_R=180", {"--r", "180"}},
      {"CAMERA_X=60", {"--z", "60"}},       {"AXIS_X=20", {"--axis-x", "20"}},
      {"AXIS_Y=-15", {"--axis-y", "-15"}},  {"LINESET=1", {"--lines"}},
      {"SHOWAXIS=0", {"--no-axes"}},        {"SHOWHINT=0", {"--no-hint"}},
      {"POINTSIZE=3", {"--point-size", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const RgbImage byKey = Picture("[CONFIG]\n" + c.key + "\n");
    const RgbImage byOption = Picture("", c.option);
    EXPECT_EQ(CompareImages(byOption, byKey), "");
    EXPECT_NE(CompareImages(byKey, defaults), "") << "the setting should change the picture";
  }
  // And the other way: an option turns back what the file set.
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nLINESET=1\nSHOWAXIS=0\nSHOWHINT=0\n", {"--points", "--axes", "--hint"}),
                          defaults),
            "");
}

TEST_F(RenderTool, OtherPointAndTextPathsDrawTheSamePicture) {
  const RgbImage reference = Picture("");
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nHARD_TL=1\n"), reference), "");
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nHARD_TL=2\n"), reference), "");
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nHARD_TL=7\n", {"--hard-tl", "1"}), reference), "");
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nD3DX_SPRITE=1\nFOG=0\nFullScreen=1\nFPS=1\nDRAWLEVEL=1\n"), reference),
            "");
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nD3DX_SPRITE=2\n"), reference), "") << "quads inside the sprite bracket";
}

TEST_F(RenderTool, TheConfiguredSizeSetsTheAspectAndTheCornerThatIsShown) {
  const RgbImage reference = Picture("");
  const RgbImage wide = Picture("[CONFIG]\nWidth=800\nHeight=400\n");
  EXPECT_EQ(wide.width, 640);
  EXPECT_EQ(wide.height, 400);
  EXPECT_NE(CompareImages(wide, reference), "");
  const RgbImage small = Picture("[CONFIG]\nWidth=320\nHeight=240\n");
  EXPECT_EQ(small.width, 320);
  EXPECT_EQ(small.height, 240);
}

TEST_F(RenderTool, NeverWritesTheConfigFile) {
  const std::string config = "; my settings\n[CONFIG]\nCAMERA_T=100\nLINESET=101\n[OTHER]\nkey=value\n";
  testsupport::WriteFile(dir / "config.ini", config);
  struct stat before{};
  ASSERT_EQ(stat((dir / "config.ini").c_str(), &before), 0);
  ASSERT_EQ(Run({"--theta", "10", "data.csv", "out.png"}).status, 0);
  ASSERT_EQ(Run({"--turntable", "3", "data.csv", "spin.png"}).status, 0);
  ASSERT_EQ(Run({"missing.csv", "out.png"}).status, 1);
  EXPECT_EQ(testsupport::ReadFile(dir / "config.ini"), config);
  struct stat after{};
  ASSERT_EQ(stat((dir / "config.ini").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "not even replaced by a copy";

  // A config named elsewhere: nothing appears beside the program either.
  std::filesystem::remove(dir / "config.ini");
  testsupport::WriteFile(dir / "other.ini", config);
  ASSERT_EQ(Run({"--config", "other.ini", "data.csv", "out.png"}).status, 0);
  EXPECT_FALSE(testsupport::FileExists(dir / "config.ini"));
  EXPECT_EQ(testsupport::ReadFile(dir / "other.ini"), config);
}

TEST_F(RenderTool, AConfigNamedOnTheCommandLineIsTheOneRead) {
  testsupport::WriteFile(dir / "other.ini", "[config]\ncamera_t=100\n");
  const RgbImage named = Picture("[CONFIG]\nCAMERA_T=300\n", {"--config", dir / "other.ini"});
  EXPECT_EQ(CompareImages(named, Picture("[CONFIG]\nCAMERA_T=100\n")), "");
}

TEST_F(RenderTool, ATurntableTurnsThetaByAnEqualShareForEachPicture) {
  const RgbImage single = Picture("");
  testsupport::RunResult r = Run({"--turntable", "4", "data.csv", "spin.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(testsupport::FileExists(dir / "spin.png"));
  EXPECT_FALSE(testsupport::FileExists(dir / "spin-004.png"));
  EXPECT_EQ(CompareImages(ReadPng(dir / "spin-000.png"), single), "");
  EXPECT_EQ(CompareImages(ReadPng(dir / "spin-001.png"), Picture("", {"--theta", "135"})), "");
  EXPECT_EQ(CompareImages(ReadPng(dir / "spin-002.png"), Picture("", {"--theta", "225"})), "");
  EXPECT_EQ(CompareImages(ReadPng(dir / "spin-003.png"), Picture("", {"--theta", "315"})), "");

  // However many workers share them out, the pictures are the same files.
  ASSERT_EQ(Run({"--turntable", "4", "--jobs", "3", "data.csv", "three.png"}).status, 0);
  ASSERT_EQ(Run({"--turntable", "4", "--jobs", "1", "data.csv", "one.png"}).status, 0);
  for (const char* n : {"000", "001", "002", "003"}) {
    EXPECT_EQ(testsupport::ReadFile(dir / ("three-" + std::string(n) + ".png")),
              testsupport::ReadFile(dir / ("one-" + std::string(n) + ".png")))
        << n;
  }
}

TEST_F(RenderTool, MaxRowsLimitsTheRowsOfEveryPictureAndSaysSo) {
  // 301 rows of the helix store rows 1-301 and draw 1-300 (the last stored row never is): the same
  // picture as a file of the first 300 rows, read whole.
  const std::string helix = testsupport::HelixData();
  size_t cut = 0;
  for (int row = 0; row < 300; ++row) cut = helix.find('\n', cut) + 1;
  testsupport::WriteFile(dir / "short.csv", helix.substr(0, cut));
  testsupport::RunResult whole = Run({"--turntable", "2", "short.csv", "whole.png"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(whole.err, "");

  testsupport::RunResult limited = Run({"--max-rows", "301", "--turntable", "2", "data.csv", "cut.png"});
  ASSERT_EQ(limited.status, 0) << limited.err;
  EXPECT_EQ(
      limited.err,
      "scatterview-render: data.csv: 301 rows read, the rest of the file was not (--max-rows raises the limit)\n");
  for (const char* n : {"000", "001"}) {
    EXPECT_EQ(CompareImages(ReadPng(dir / ("cut-" + std::string(n) + ".png")),
                            ReadPng(dir / ("whole-" + std::string(n) + ".png"))),
              "")
        << n;
  }
  EXPECT_NE(CompareImages(ReadPng(dir / "cut-000.png"), Picture("")), "");

  // MAXROWS does the same, and --max-rows overrides it.
  const RgbImage cutPicture = ReadPng(dir / "cut-000.png");
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nMAXROWS=301\n"), cutPicture), "");
  EXPECT_EQ(CompareImages(Picture("[CONFIG]\nMAXROWS=5\n", {"--max-rows", "301"}), cutPicture), "");
}

TEST_F(RenderTool, TwoDrawingThreadsDrawTheBytesOfOne) {
  // 200 000 rows scattered over the view (the second thread takes a batch's records beyond the first
  // 150 000), with a far row near the end and repeated rows: lines that chain, clip in the close-up,
  // and break the batch. Coloured by height, each late row's colour shows wherever it lands, so a
  // row drawn wrongly or not at all changes the picture.
  std::string rows;
  for (int i = 0; i < 200000; ++i) {
    const double x = 70 * std::sin(i * 0.7), y = 70 * std::cos(i * 1.1), z = 60 * std::sin(i * 1.3);
    rows += i == 190000 ? "1e9,5,5\n" : std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z) + "\n";
    if (i % 997 == 0) rows += std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z) + "\n";
  }
  testsupport::WriteFile(dir / "path.csv", rows);
  const std::vector<std::vector<std::string>> views = {
      {"--points"}, {"--points", "--colour-by-height"}, {"--lines", "--colour-by-height"},
      {"--lines", "--colour-by-height", "--theta", "37", "--r", "40", "--z", "20"}, {"--lines", "--fit"}};
  for (const auto& view : views) {
    std::string pictures[2];
    for (int threads : {1, 2}) {
      std::vector<std::string> args = view;
      args.insert(args.end(), {"--max-rows", "300000", "path.csv", "out.png"});
      testsupport::ProcessLaunch launch = Launch(args);
      launch.env["SCATTERVIEW_THREADS"] = std::to_string(threads);
      const testsupport::RunResult r = testsupport::RunProcess(launch);
      ASSERT_EQ(r.status, 0) << r.err;
      pictures[threads - 1] = testsupport::ReadFile(dir / "out.png");
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << "the PNG files differ: " << view[0] << " " << view.back();
    if (view.size() == 1 && view[0] == "--points") {
      EXPECT_GT(Count(ReadPng(dir / "out.png"), kWhite), 2000);  // the rows are drawn at all
    }
  }
}

TEST_F(RenderTool, ADashReadsTheDataFromStandardInputAsFromTheFile) {
  Picture("");
  const std::string fromTheFile = testsupport::ReadFile(dir / "out.png");
  ASSERT_FALSE(fromTheFile.empty());
  struct Case {
    bool pipe;  // else data.csv redirected
    std::vector<std::string> args;
  };
  const Case cases[] = {{false, {"-", "out.png"}}, {true, {"-", "out.png"}}, {true, {"--", "-", "-"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.pipe ? "pipe " : "file ") << c.args.back());
    std::filesystem::remove(dir / "out.png");
    testsupport::ProcessLaunch launch = Launch(c.args);
    if (c.pipe) {
      launch.stdinPipe = testsupport::HelixData();
    } else {
      launch.stdinFile = dir / "data.csv";
    }
    const testsupport::RunResult r = testsupport::RunProcess(launch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE((c.args.back() == "-" ? r.out : testsupport::ReadFile(dir / "out.png")) == fromTheFile);
  }
  // The file standard input reads is one of the run's inputs: never the output.
  std::filesystem::create_symlink("data.csv", dir / "data-link.png");
  testsupport::ProcessLaunch launch = Launch({"-", "data-link.png"});
  launch.stdinFile = dir / "data.csv";
  const testsupport::RunResult r = testsupport::RunProcess(launch);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("data-link.png: is a file this run reads"), std::string::npos) << r.err;
  EXPECT_EQ(testsupport::ReadFile(dir / "data.csv"), testsupport::HelixData());
}

TEST_F(RenderTool, DelimiterAndColumnsReadOtherLayoutsAndTheOptionsWinOverTheKeys) {
  const RgbImage reference = Picture("");
  std::string tabs = testsupport::HelixData(), numbered;
  std::replace(tabs.begin(), tabs.end(), ',', '\t');
  std::istringstream rows(testsupport::HelixData());
  int n = 0;
  for (std::string row; std::getline(rows, row);) numbered += std::to_string(++n) + "," + row + "\n";
  testsupport::WriteFile(dir / "helix.tsv", tabs);
  testsupport::WriteFile(dir / "numbered.csv", numbered);
  struct Case {
    std::string config;
    std::vector<std::string> args;
    bool asReference;  // else the picture differs
  };
  const Case cases[] = {
      {"", {"helix.tsv"}, true},
      {"", {"--delimiter", ";", "helix.tsv"}, false},
      {"[CONFIG]\nDELIMITER=;\n", {"helix.tsv"}, false},
      {"[CONFIG]\nDELIMITER=;\n", {"--delimiter=tab", "helix.tsv"}, true},
      {"[CONFIG]\nDELIMITER=semicolon\n", {"helix.tsv"}, true},  // no such delimiter: automatic
      {"", {"numbered.csv"}, false},
      {"", {"--columns", "2,3,4", "numbered.csv"}, true},
      {"[CONFIG]\nCOLUMNS=2,3,4\n", {"numbered.csv"}, true},
      {"[CONFIG]\nCOLUMNS=2,3,4\n", {"--columns=1,2,3", "numbered.csv"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config + " " + c.args.front());
    testsupport::WriteFile(dir / "config.ini", c.config);
    std::vector<std::string> args = c.args;
    args.push_back("out.png");
    const testsupport::RunResult r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string difference = CompareImages(ReadPng(dir / "out.png"), reference);
    EXPECT_EQ(difference.empty(), c.asReference) << difference;
  }
}

TEST_F(RenderTool, HelpAndTheVersionGoToStdoutWithStatus0) {
  testsupport::RunResult r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: scatterview-render [options] DATA OUT.png"), std::string::npos) << r.out;
  EXPECT_EQ(Run({"-h"}).out, r.out);
  // The version the viewer gives, named for this program.
  r = Run({"data.csv", "--version", "out.png"});
  EXPECT_EQ(r.status, 0);
  testsupport::ProcessLaunch version;
  version.program = testsupport::BuildDir() + "/scatterview";
  version.args = {"--version"};
  const testsupport::RunResult viewer = testsupport::RunProcess(version);
  ASSERT_EQ(viewer.out.rfind("scatterview ", 0), 0u) << viewer.out;
  EXPECT_EQ(r.out, "scatterview-render " + viewer.out.substr(12));
  EXPECT_FALSE(testsupport::FileExists(dir / "out.png"));
}

TEST_F(RenderTool, BadOptionsEndWithStatus2AndTheReason) {
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  const std::string formats = "PNG (.png), GIF (.gif) or WebP (.webp)";
  const Case cases[] = {
      {{"data.csv"}, "needs a data file and an output"},
      {{"--theta", "north", "data.csv", "out.png"}, "--theta needs a number"},
      {{"--r", "0", "data.csv", "out.png"}, "--r needs a number of at least 1"},
      {{"--turntable", "0", "data.csv", "out.png"}, "--turntable needs a count"},
      {{"--max-rows", "0", "data.csv", "out.png"}, "--max-rows needs a count"},
      {{"--delimiter", "ab", "data.csv", "out.png"}, "--delimiter needs one character"},
      {{"--columns", "1,2", "data.csv", "out.png"}, "--columns needs three column numbers"},
      {{"--point-size", "10", "data.csv", "out.png"}, "--point-size needs a whole number from 1 to 9, not '10'"},
      {{"--hard-tl", "3", "data.csv", "out.png"}, "--hard-tl needs 0, 1 or 2"},
      {{"--sideways", "data.csv", "out.png"}, "unknown option '--sideways'"},
      {{"--ranges=1", "data.csv", "out.png"}, "unknown option '--ranges=1'"},
      {{"data.csv", "out.png", "extra.png"}, "too many file names"},
      {{"data.csv", "out.jpg"}, "cannot write 'out.jpg': the output's name must end in the extension of " + formats},
      {{"--turntable", "3", "data.csv", "spin.mp4"}, "cannot write 'spin.mp4'"},
      {{"--turntable", "3", "data.csv", "-"},
       "a turntable writes files: its output cannot be '-' (standard output); name a " + formats},
      {{"--size", "15x100", "data.csv", "out.png"}, "--size needs WIDTHxHEIGHT, each from 16 to 8192 pixels"},
      {{"--size", "640x8193", "data.csv", "out.png"}, "--size needs WIDTHxHEIGHT"},
      {{"--size", "640", "data.csv", "out.png"}, "--size needs WIDTHxHEIGHT"},
      {{"--size=x480", "data.csv", "out.png"}, "--size needs WIDTHxHEIGHT"},
      {{"--fps", "0", "--turntable", "3", "data.csv", "spin.gif"}, "--fps needs a number of frames a second"},
      {{"--fps", "60", "--turntable", "3", "data.csv", "spin.gif"},
       "--fps needs a number of frames a second from 0.1 to 50, not '60'"},
  };
  for (const Case& c : cases) {
    testsupport::RunResult r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.reason;
    EXPECT_NE(r.err.find("scatterview-render: " + c.reason), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Try 'scatterview-render --help'."), std::string::npos) << r.err;
  }
  // Nothing written by any of them.
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "scatterview-render" || name == "data" || name == "data.csv") << name;
  }
}

TEST_F(RenderTool, FilesThatCannotBeReadOrWrittenEndWithStatus1AndSayWhich) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  std::filesystem::create_directory(dir / "folder.csv");
  std::filesystem::create_directory(dir / "taken.png");
  const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (dir / "rows.sock").c_str());
  ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << address.sun_path;
  const std::vector<Case> cases = {
      {{"missing.csv", "out.png"}, "the data file missing.csv cannot be read"},
      {{"folder.csv", "out.png"}, "the data file folder.csv cannot be read"},
      {{"rows.sock", "out.png"}, "rows.sock cannot be read (it is a socket, not a file of rows)"},
      {{"/proc/self/status", "out.png"}, "cannot be read (its size is not fixed"},
      {{"/dev/ptmx", "out.png"}, "/dev/ptmx cannot be read (it is a terminal, not a file of rows)"},
      {{"--config", "none.ini", "data.csv", "out.png"}, "the config file none.ini cannot be read"},
      {{"data.csv", "no/such/folder/out.png"}, "no/such/folder/out.png"},
      {{"data.csv", "data.csv/out.png"}, "data.csv/out.png"},
      {{"data.csv", "taken.png"}, "taken.png"},
      {{"--turntable", "2", "data.csv", "nowhere/spin.png"}, "nowhere/spin-000.png"},
  };
  for (const Case& c : cases) {
    testsupport::RunResult r = Run(c.args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  close(socketFd);
  EXPECT_FALSE(testsupport::FileExists(dir / "out.png"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.png"));
  // Nothing half-written is left anywhere in the folder.
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(e.path().filename().string().find(".png."), std::string::npos) << e.path();
}

TEST_F(RenderTool, ALineWithFarEndsCrossesTheViewWhereANearerOneDoes) {
  // The segment along x at y = 10, z = 5 crosses the whole default view whatever its ends' reach.
  auto line = [&](const std::string& reach) {
    testsupport::WriteFile(dir / "far.csv", "-" + reach + ",10,5\n" + reach + ",10,5\n");
    testsupport::WriteFile(dir / "config.ini", "");
    std::filesystem::remove(dir / "out.png");
    EXPECT_EQ(Run({"--lines", "--no-axes", "--no-hint", "far.csv", "out.png"}).status, 0);
    return ReadPng(dir / "out.png");
  };
  const RgbImage near = line("1000");
  ASSERT_EQ(Count(near, kWhite), 640) << "one pixel in every column";
  for (const char* reach : {"1e5", "1e9", "1e15", "1e30", "1e300"}) {
    const RgbImage far = line(reach);
    EXPECT_EQ(Count(far, kWhite), 640) << reach;
    // The same line, give or take the rounding of its slope in the last pixels.
    long apart = 0;
    for (size_t i = 0; i < far.pixels.size(); ++i) apart += (far.pixels[i] == kWhite) != (near.pixels[i] == kWhite);
    EXPECT_LE(apart, 8) << reach;
  }
}

TEST_F(RenderTool, AMissingFontOrAFailingGraphicsSetUpIsAnError) {
  testsupport::WriteFile(dir / "config.ini", "[CONFIG]\nHARD_TL=7\n");
  testsupport::RunResult r = Run({"data.csv", "out.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the graphics set-up failed"), std::string::npos) << r.err;

  std::filesystem::remove(dir / "config.ini");
  std::filesystem::remove_all(dir / "data");
  r = Run({"data.csv", "out.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("data/font.dds cannot be read"), std::string::npos) << r.err;
  EXPECT_FALSE(testsupport::FileExists(dir / "out.png"));
}

}  // namespace
