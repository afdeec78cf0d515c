// The INI profile functions on real files: defaults, matching rules, numbers, what a write keeps,
// and writes that must fail without harming the file.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/profile_text.h"
#include "temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

class ProfileTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string ini = dir / "config.ini";

  int ReadInt(const char* key, int def) {
    return static_cast<int32_t>(GetPrivateProfileIntA("CONFIG", key, def, ini.c_str()));
  }
  std::string ReadString(const char* key, const char* def) {
    return GetPrivateProfileStringA("CONFIG", key, def, ini.c_str());
  }
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(ReadInt("Width", 640), 640);
  EXPECT_EQ(ReadString("NAME", "data.csv"), "data.csv");
  WriteFile(ini, "[OTHER]\nWidth=800\n");
  EXPECT_EQ(ReadInt("Width", 640), 640) << "key only in another section";
  WriteFile(ini, "[CONFIG]\nHeight=300\n");
  EXPECT_EQ(ReadInt("Width", 640), 640);
  EXPECT_EQ(ReadInt("Height", 480), 300);
}

TEST_F(ProfileTest, SectionAndKeyMatchWithoutCaseAndBlanks) {
  WriteFile(ini, "; settings\n[ config ]\n  width = 1024  \nNAME=\"my data.csv\"\n");
  EXPECT_EQ(ReadInt("Width", 640), 1024);
  EXPECT_EQ(ReadInt("WIDTH", 640), 1024);
  EXPECT_EQ(ReadString("name", "x"), "my data.csv") << "enclosing quotes are removed";
}

TEST_F(ProfileTest, NumbersReadLikeTheOriginal) {
  WriteFile(ini,
            "[CONFIG]\nA=-12\nB=+7\nC=12abc\nD=abc\nE=\nF=4294967295\nG=0x10\nH= 42\n");
  EXPECT_EQ(ReadInt("A", 1), -12);
  EXPECT_EQ(ReadInt("B", 1), 7);
  EXPECT_EQ(ReadInt("C", 1), 12) << "stops at the first other character";
  EXPECT_EQ(ReadInt("D", 1), 0) << "garbage reads as 0, not as the default";
  EXPECT_EQ(ReadInt("E", 1), 0);
  EXPECT_EQ(GetPrivateProfileIntA("CONFIG", "F", 1, ini.c_str()), 4294967295u);
  EXPECT_EQ(ReadInt("G", 1), 0) << "decimal only";
  EXPECT_EQ(ReadInt("H", 1), 42);
  EXPECT_EQ(ReadInt("Missing", -3), -3) << "a negative default comes back as itself";
}

TEST_F(ProfileTest, NegativeNumbersRoundTrip) {
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "CAMERA_X", "-12", ini.c_str()));
  EXPECT_EQ(ReadInt("CAMERA_X", 0), -12);
}

TEST_F(ProfileTest, WriteCreatesTheFileAndSection) {
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "SHOWHINT", "1", ini.c_str()));
  EXPECT_EQ(ReadFile(ini), "[CONFIG]\nSHOWHINT=1\n");
  ASSERT_TRUE(WritePrivateProfileStringA("VIEW", "R", "250", ini.c_str()));
  EXPECT_EQ(ReadFile(ini), "[CONFIG]\nSHOWHINT=1\n[VIEW]\nR=250\n");
}

TEST_F(ProfileTest, WriteKeepsCommentsOtherKeysAndOtherSections) {
  const std::string before =
      "; written by hand\r\n[First]\r\nx=1\r\n\r\n"
      "[CONFIG]\r\n# comment\r\nWidth=640\r\nName=a\r\n\r\n[Last]\r\ny=2\r\n";
  WriteFile(ini, before);
  ASSERT_TRUE(WritePrivateProfileStringA("config", "width", "800", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "FOG", "0", ini.c_str()));
  EXPECT_EQ(ReadFile(ini),
            "; written by hand\r\n[First]\r\nx=1\r\n\r\n[CONFIG]\r\n# comment\r\nWidth=800\r\nName=a\r\nFOG=0\r\n"
            "\r\n[Last]\r\ny=2\r\n")
      << "the key keeps its spelling, new keys end their section, CR LF stays CR LF";
}

TEST_F(ProfileTest, WriteToALastLineWithoutLineBreak) {
  WriteFile(ini, "[CONFIG]\nA=1");
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "B", "2", ini.c_str()));
  EXPECT_EQ(ReadFile(ini), "[CONFIG]\nA=1\nB=2\n");
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "B", "3", ini.c_str()));
  EXPECT_EQ(ReadInt("B", 0), 3);
  EXPECT_EQ(ReadInt("A", 0), 1);
  // A last line ending in a bare CR: the new key still gets a line of its own.
  WriteFile(ini, "[CONFIG]\r\nA=1\r");
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "C", "4", ini.c_str()));
  EXPECT_EQ(ReadInt("C", 0), 4);
  EXPECT_EQ(ReadInt("A", 0), 1);
}

TEST_F(ProfileTest, NullValueRemovesTheKeyAndNullKeyTheSection) {
  WriteFile(ini, "[CONFIG]\nA=1\nB=2\n[X]\nC=3\n");
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "A", nullptr, ini.c_str()));
  EXPECT_EQ(ReadFile(ini), "[CONFIG]\nB=2\n[X]\nC=3\n");
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", nullptr, nullptr, ini.c_str()));
  EXPECT_EQ(ReadFile(ini), "[X]\nC=3\n");
  std::string missing = dir / "none.ini";
  EXPECT_TRUE(WritePrivateProfileStringA("CONFIG", "A", nullptr, missing.c_str()));
  EXPECT_FALSE(testsupport::FileExists(missing)) << "removing from nothing makes no file";
}

TEST_F(ProfileTest, ValuesThatWouldBreakTheFileAreRefused) {
  WriteFile(ini, "[CONFIG]\nA=1\n");
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", "A", "1\n[EVIL]\nB=2", ini.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", "A=B", "1", ini.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", "", "1", ini.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("CON]FIG", "A", "1", ini.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", ";A", "1", ini.c_str()));
  EXPECT_EQ(ReadFile(ini), "[CONFIG]\nA=1\n");
}

TEST_F(ProfileTest, WriteReplacesTheFileAtomicallyAndKeepsItsMode) {
  WriteFile(ini, "[CONFIG]\nA=1\n");
  chmod(ini.c_str(), 0640);
  struct stat before{};
  stat(ini.c_str(), &before);
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "A", "2", ini.c_str()));
  struct stat after{};
  stat(ini.c_str(), &after);
  EXPECT_NE(before.st_ino, after.st_ino) << "a new file renamed into place, not rewritten in place";
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  // No temporary file is left beside it.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) entries += e.path() != ini;
  EXPECT_EQ(entries, 0);
}

TEST_F(ProfileTest, WriteThroughASymbolicLinkKeepsTheLink) {
  std::string real = dir / "real.ini";
  WriteFile(real, "[CONFIG]\nA=1\n");
  ASSERT_EQ(symlink(real.c_str(), ini.c_str()), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "A", "5", ini.c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(ini));
  EXPECT_EQ(ReadFile(real), "[CONFIG]\nA=5\n");
}

TEST_F(ProfileTest, AReadOnlyFileIsNotWrittenAndStaysIntact) {
  WriteFile(ini, "[CONFIG]\nA=1\n");
  chmod(ini.c_str(), 0444);
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", "A", "2", ini.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", "A", "1", ini.c_str())) << "even when nothing changes";
  EXPECT_EQ(ReadFile(ini), "[CONFIG]\nA=1\n");
  EXPECT_EQ(ReadInt("A", 0), 1);
}

TEST_F(ProfileTest, AConfigThatIsAFolderReadsAsMissingAndRefusesWrites) {
  ASSERT_EQ(mkdir(ini.c_str(), 0755), 0);
  EXPECT_EQ(ReadInt("Width", 640), 640);
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", "Width", "1", ini.c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(ini));
  EXPECT_TRUE(std::filesystem::is_empty(ini));
}

TEST_F(ProfileTest, AMissingFolderFailsTheWrite) {
  std::string nowhere = dir / "no/such/config.ini";
  EXPECT_FALSE(WritePrivateProfileStringA("CONFIG", "A", "1", nowhere.c_str()));
}

TEST_F(ProfileTest, LongValuesAndPathsAreNotCut) {
  std::string folder = dir.Path();
  for (int i = 0; i < 6; ++i) {
    folder += "/" + std::string(60, 'a' + i);
    mkdir(folder.c_str(), 0755);
  }
  std::string deep = folder + "/config.ini";
  ASSERT_GT(deep.size(), 300u);
  std::string value(1000, 'v');
  ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", "NAME", value.c_str(), deep.c_str()));
  EXPECT_EQ(GetPrivateProfileStringA("CONFIG", "NAME", "", deep.c_str()), value);
}

TEST(ProfileText, FirstSectionAndFirstKeyWin) {
  std::string text = "[A]\nk=1\nk=2\n[a]\nk=3\n";
  EXPECT_EQ(platform::ini::FindValue(text, "A", "k"), "1");
  std::string edited = platform::ini::SetValue(text, "a", "K", "9");
  EXPECT_EQ(edited, "[A]\nk=9\nk=2\n[a]\nk=3\n");
}

TEST(ProfileText, KeysBeforeAnySectionBelongToNone) {
  EXPECT_EQ(platform::ini::FindValue("k=1\n[A]\n", "A", "k"), std::nullopt);
  EXPECT_EQ(platform::ini::FindValue("\xEF\xBB\xBF[A]\nk=1\n", "A", "k"), "1") << "a byte-order mark is skipped";
}

TEST(ProfileText, ParseIntegerWraps) {
  EXPECT_EQ(platform::ini::ParseInteger("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(platform::ini::ParseInteger("4294967296"), 0u);
  EXPECT_EQ(platform::ini::ParseInteger("--5"), 0u);
  // 10^22 mod 2^32, no overflow trap, just the low 32 bits.
  EXPECT_EQ(platform::ini::ParseInteger("10000000000000000000000"), 2990538752u);
}

// The index answers every lookup exactly as the one-pass reading does, on the texts where the two
// could part: repeated sections and keys, keys before any section, blanks and case, every line end.
TEST(ProfileText, TheIndexFindsWhatFindValueFinds) {
  struct Case {
    const char* text;
    const char* section;
    const char* key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"[A]\nk=1\nk=2\n[a]\nk=3\nj=4\n", "a", "K", "1"},
      {"[A]\nk=1\n[a]\nj=4\n", "A", "j", std::nullopt},  // only the first section of a name counts
      {"k=0\n[A]\nk=1\n", "A", "k", "1"},
      {"k=0\n[A]\n", "A", "k", std::nullopt},
      {"\xEF\xBB\xBF[A]\r\nk = \"x y\" \r\n", " a ", " K ", "x y"},
      {"[A]\rk=1\rj=2\r[B]\rk=3\r", "B", "k", "3"},
      {"[A]\rk=1\rj=2\r", "A", "j", "2"},
      {"[A]\r\n\r\n;k=9\r\n# k=8\nk=7", "A", "k", "7"},
      {"[A]\nbroken line\n[B\nk=5\n", "A", "k", "5"},  // "[B" is no header
      {"", "A", "k", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ini::FindValue(c.text, c.section, c.key), c.value) << c.text;
    EXPECT_EQ(platform::ini::Index(c.text).Find(c.section, c.key), c.value) << c.text;
  }
}

TEST(ProfileText, AnIndexStoppedPartWaySaysSo) {
  std::string text = "[A]\n";
  for (int i = 0; i < 10000; ++i) text.append("k").append(std::to_string(i)).append("=1\n");
  EXPECT_TRUE(platform::ini::Index(text).Complete());
  const platform::ini::Index stopped(text, [] { return true; });
  EXPECT_FALSE(stopped.Complete());
  EXPECT_EQ(stopped.Find("A", "k9999"), std::nullopt);
}

// What a save keeps of a key's line: everything but the value.
TEST(ProfileText, SetValueKeepsTheLineAroundTheValue) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"[A]\nR = 300 ; mine\n", "[A]\nR = 9 ; mine\n"},
      {"[A]\nR=300\t# mine\n", "[A]\nR=9\t# mine\n"},
      {"[A]\n  r =  300  \n", "[A]\n  r =  9  \n"},
      {"[A]\nR= ; none yet\n", "[A]\nR= 9 ; none yet\n"},
      {"[A]\nR=;not a comment\n", "[A]\nR=9\n"},
      {"[A]\nR=a;b\n", "[A]\nR=9\n"},
      {"[A]\nR=\"a ; b\" ; c\n", "[A]\nR=9 ; c\n"},
      {"[A]\r\nR=1 ; x\r\n", "[A]\r\nR=9 ; x\r\n"},
      {"[A]\rR=1 ; x\r", "[A]\rR=9 ; x\r"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::ini::SetValue(c.before, "A", "R", "9"), c.after) << c.before;
}

// New lines take the line end of the text's first line.
TEST(ProfileText, NewLinesUseTheTextsOwnLineEnd) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"[A]\rx=1\r", "[A]\rx=1\rR=9\r"},
      {"[A]\r\nx=1\r\n", "[A]\r\nx=1\r\nR=9\r\n"},
      {"[A]\nx=1", "[A]\nx=1\nR=9\n"},
      {"[B]\rx=1", "[B]\rx=1\r[A]\rR=9\r"},
      {"", "[A]\nR=9\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::ini::SetValue(c.before, "A", "R", "9"), c.after) << c.before;
}

TEST(ProfileText, SetValuesEditsEachKeyAsItsConditionSays) {
  using When = platform::ini::Edit::When;
  const platform::ini::Edit edits[] = {{"a", "1"},
                                       {"b", "2", When::IfPresent},
                                       {"c", "3", When::IfPresent},
                                       {"d", "4", When::IfMissing},
                                       {"e", "5", When::IfMissing},
                                       {"A", "6"}};  // a later edit of the same key wins
  EXPECT_EQ(platform::ini::SetValues("[S]\nb=0\nd=0\n\n[T]\n", "s", edits), "[S]\nb=2\nd=0\na=6\ne=5\n\n[T]\n");
  const platform::ini::Edit onlyPresent[] = {{"b", "2", When::IfPresent}};
  EXPECT_EQ(platform::ini::SetValues("[T]\n", "S", onlyPresent), "[T]\n") << "no empty section is added";
}

TEST(ProfileText, ParseInteger64ReadsTheWholeNumberOrNothing) {
  struct Case {
    const char* text;
    std::optional<int64_t> value;
  };
  const Case cases[] = {
      {"9223372036854775807", INT64_MAX},  {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt}, {"-9223372036854775809", std::nullopt},
      {"99999999999999999999", std::nullopt}, {" -12abc", -12},
      {"+7", 7},                            {"abc", 0},
      {"", 0},                              {"4294967297 ; wraps no more", 4294967297},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::ini::ParseInteger64(c.text), c.value) << c.text;
}

}  // namespace
