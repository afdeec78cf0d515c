#include "platform/posix/settings_path.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/posix/whole_file_writer.h"

namespace platform::posix {
namespace {

std::string BesideTheProgram(const std::string& programFolder) { return programFolder + "/config.ini"; }

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// The folder the user's settings go in, or "" when neither variable names an absolute folder.
std::string UserSettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/scatterview";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config/scatterview";
  return "";
}

// Makes `folder` and its missing parents, private to the user as a configuration folder should be.
bool MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string SettingsFilePath(const std::string& programFolder) {
  const std::string beside = BesideTheProgram(programFolder);
  struct stat st {};
  const bool present = stat(beside.c_str(), &st) == 0;
  // A file without any write bit is a starting file (the package installs one): nobody's view goes
  // there, not even root's in a folder root may write, so that removing the package leaves nothing.
  const bool startingFile = present && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  // A folder is judged like a file: without any write bit it is read-only, even for root.
  if (!startingFile && ((present && WritableByModeBits(beside)) || WritableByModeBits(programFolder)))
    return beside;
  const std::string folder = UserSettingsFolder();
  return folder.empty() ? beside : folder + "/config.ini";
}

std::string SettingsFileToRead(const std::string& programFolder) {
  const std::string path = SettingsFilePath(programFolder);
  return Exists(path) ? path : BesideTheProgram(programFolder);
}

std::string PrepareSettingsFile(const std::string& programFolder) {
  const std::string beside = BesideTheProgram(programFolder);
  const std::string path = SettingsFilePath(programFolder);
  if (path == beside) return beside;
  if (!MakeFolders(path.substr(0, path.rfind('/')))) return beside;
  struct stat st {};
  // Only a plain file gives starting values (a FIFO there would block the read).
  if (!Exists(path) && stat(beside.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    std::ifstream in(beside, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The copy gets the user's usual mode, not the read-only one of the original.
    WholeFileOptions options;
    options.allowSpecialFiles = false;
    if (in.is_open()) (void)WriteWholeFile(path, text, options);
  }
  return path;
}

std::string WhyTheViewIsNotSaved(const std::string& programFolder, const std::string& settingsFile) {
  // Only a folder that cannot take the file counts here: what stands at the path itself (a read-only
  // file, a folder named config.ini) is the user's own doing and is left alone quietly.
  struct stat st {};
  if (lstat(settingsFile.c_str(), &st) == 0) return "";
  const std::string folder = settingsFile.substr(0, settingsFile.rfind('/'));
  if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && WritableByModeBits(folder)) return "";
  if (settingsFile != BesideTheProgram(programFolder)) return folder + " is read-only";
  // PrepareSettingsFile fell back on the program's folder: the user's could not be had.
  const std::string user = UserSettingsFolder();
  if (user.empty()) return "there is no home folder (HOME unset) and " + programFolder + " is read-only";
  return user + " cannot be made and " + programFolder + " is read-only";
}

}  // namespace platform::posix
