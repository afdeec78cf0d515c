// Where config.ini lives: beside the program while it may be written there and is no read-only
// starting file, else the user's own file under XDG_CONFIG_HOME (or ~/.config), started from the
// read-only one beside the program.
#include "platform/posix/settings_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

using platform::posix::PrepareSettingsFile;
using platform::posix::SettingsFilePath;
using platform::posix::SettingsFileToRead;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

// Sets (or unsets) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class SettingsPath : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir(program.c_str(), 0755);
    mkdir(home.c_str(), 0755);
  }
  void TearDown() override { chmod(program.c_str(), 0755); }  // so the folder can be removed

  testsupport::TempDir dir;
  const std::string program = dir / "lib";
  const std::string home = dir / "home";
};

TEST_F(SettingsPath, BesideTheProgramWhileItMayBeWrittenThereElseTheUsers) {
  enum class Beside { None, Writable, GroupWritable, ReadOnly };
  struct Case {
    const char* name;
    mode_t folderMode;
    Beside beside;
    std::optional<std::string> xdg;
    std::optional<std::string> home;
    std::string expected;  // "beside" or a path under the temporary folder
  };
  const std::string xdg = dir / "xdg";
  const std::vector<Case> cases = {
      {"writable folder, no file", 0755, Beside::None, xdg, home, "beside"},
      {"writable folder, writable file", 0755, Beside::Writable, xdg, home, "beside"},
      // A file without write bits is a starting file, as the package installs it: root's settings
      // would otherwise be kept in a folder the package owns.
      {"writable folder, read-only file", 0755, Beside::ReadOnly, xdg, home, xdg + "/scatterview/config.ini"},
      {"writable folder, file writable by its group alone", 0755, Beside::GroupWritable, xdg, home, "beside"},
      {"read-only folder, writable file", 0555, Beside::Writable, xdg, home, "beside"},
      {"read-only folder, read-only file", 0555, Beside::ReadOnly, xdg, home, xdg + "/scatterview/config.ini"},
      {"read-only folder, no file", 0555, Beside::None, xdg, home, xdg + "/scatterview/config.ini"},
      {"XDG_CONFIG_HOME unset", 0555, Beside::None, std::nullopt, home, home + "/.config/scatterview/config.ini"},
      {"XDG_CONFIG_HOME empty", 0555, Beside::None, "", home, home + "/.config/scatterview/config.ini"},
      {"XDG_CONFIG_HOME relative", 0555, Beside::None, "rel/conf", home, home + "/.config/scatterview/config.ini"},
      {"no home folder at all", 0555, Beside::None, std::nullopt, std::nullopt, "beside"},
      {"read-only file and no home folder", 0755, Beside::ReadOnly, std::nullopt, std::nullopt, "beside"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    chmod(program.c_str(), 0755);
    std::remove((program + "/config.ini").c_str());
    if (c.beside != Beside::None) {
      WriteFile(program + "/config.ini", "[CONFIG]\n");
      const mode_t modes[] = {0, 0644, 0464, 0444};
      chmod((program + "/config.ini").c_str(), modes[static_cast<int>(c.beside)]);
    }
    chmod(program.c_str(), c.folderMode);
    ScopedEnv setXdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv setHome("HOME", c.home);
    const std::string expected = c.expected == "beside" ? program + "/config.ini" : c.expected;
    EXPECT_EQ(SettingsFilePath(program), expected);
    EXPECT_FALSE(FileExists(dir / "xdg") || FileExists(home + "/.config")) << "deciding creates nothing";
  }
}

TEST_F(SettingsPath, TheUsersFileStartsFromTheReadOnlyOneBesideTheProgramOnce) {
  ScopedEnv setXdg("XDG_CONFIG_HOME", dir / "x/y");
  const std::string original = "; mine\n[CONFIG]\nCAMERA_T=123\n[Other]\nA=1\n";
  WriteFile(program + "/config.ini", original);
  chmod((program + "/config.ini").c_str(), 0444);
  chmod(program.c_str(), 0555);
  const std::string user = dir / "x/y/scatterview/config.ini";

  EXPECT_EQ(SettingsFileToRead(program), program + "/config.ini") << "until the user's file exists";
  EXPECT_EQ(PrepareSettingsFile(program), user);
  EXPECT_EQ(ReadFile(user), original);
  struct stat st {};
  ASSERT_EQ(stat(user.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u) << "the copy can be written";
  ASSERT_EQ(stat((dir / "x/y/scatterview").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "a private configuration folder";
  EXPECT_EQ(SettingsFileToRead(program), user);

  // Later runs keep what the user's file says.
  WriteFile(user, "[CONFIG]\nCAMERA_T=7\n");
  EXPECT_EQ(PrepareSettingsFile(program), user);
  EXPECT_EQ(ReadFile(user), "[CONFIG]\nCAMERA_T=7\n");
}

TEST_F(SettingsPath, WithoutAFileBesideTheProgramOnlyTheFolderIsMade) {
  ScopedEnv setXdg("XDG_CONFIG_HOME", dir / "xdg");
  chmod(program.c_str(), 0555);
  EXPECT_EQ(PrepareSettingsFile(program), dir / "xdg/scatterview/config.ini");
  struct stat st {};
  EXPECT_EQ(stat((dir / "xdg/scatterview").c_str(), &st), 0);
  EXPECT_FALSE(FileExists(dir / "xdg/scatterview/config.ini")) << "written when the view is saved";
}

TEST_F(SettingsPath, AUserFolderThatCannotBeMadeLeavesTheFileBesideTheProgram) {
  WriteFile(dir / "plain-file", "");
  ScopedEnv setXdg("XDG_CONFIG_HOME", dir / "plain-file");
  chmod(program.c_str(), 0555);
  EXPECT_EQ(SettingsFilePath(program), dir / "plain-file/scatterview/config.ini");
  EXPECT_EQ(PrepareSettingsFile(program), program + "/config.ini");
}

}  // namespace
