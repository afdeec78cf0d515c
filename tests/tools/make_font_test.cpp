// The font tool run as a program: it writes the same texture every time, and refuses bad use.
#include <gtest/gtest.h>

#include "temp_dir.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

class MakeFont : public ::testing::Test {
 protected:
  int Run(const std::string& args) {
    const std::string command =
        std::string(SV_BUILD_DIR) + "/make_font " + args + " 2>'" + (dir_ / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Err() const { return Slurp(dir_ / "err.txt"); }

  testsupport::TempDir tmp_;
  fs::path dir_{tmp_.Path()};
};

TEST_F(MakeFont, WritesTheBuildsTextureIntoANewFolder) {
  const fs::path out = dir_ / "data" / "font.dds";
  ASSERT_EQ(Run(Quoted(out)), 0) << Err();
  const std::string built = Slurp(std::string(SV_BUILD_DIR) + "/data/font.dds");
  ASSERT_FALSE(built.empty());
  EXPECT_EQ(Slurp(out), built);
  EXPECT_FALSE(fs::exists(out.string() + ".tmp"));
}

TEST_F(MakeFont, RefusesMissingArgumentsAndUnwritablePlaces) {
  EXPECT_EQ(Run(""), 2);
  EXPECT_NE(Err().find("usage"), std::string::npos);
  std::ofstream(dir_ / "file") << "x";
  EXPECT_EQ(Run(Quoted(dir_ / "file" / "font.dds")), 1);
  EXPECT_NE(Err().find("font.dds"), std::string::npos);
}

}  // namespace
