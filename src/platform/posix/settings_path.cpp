#include "platform/posix/settings_path.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
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

// Whether the view is kept beside the program, the user's folder never tried.
bool KeptBesideTheProgram(const std::string& programFolder) {
  const std::string beside = BesideTheProgram(programFolder);
  struct stat st {};
  const bool present = stat(beside.c_str(), &st) == 0;
  // A file without any write bit is a starting file (the package installs one): nobody's view goes
  // there, not even root's in a folder root may write, so that removing the package leaves nothing.
  const bool startingFile = present && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  // A folder is judged like a file: without any write bit it is read-only, even for root.
  return !startingFile && ((present && WritableByModeBits(beside)) || WritableByModeBits(programFolder));
}

// Why the save cannot put the view into `file` (as ReplaceProfileFile and the save decide it), "" when
// it can: a new file needs a folder with a write bit; a file there must be a plain one this process may
// read and write, and be replaced through a new file beside it unless it has more than one name.
std::string WhyNotWritten(const std::string& file) {
  const std::string target = FinalLinkTarget(file);
  const std::string folder = target.substr(0, target.rfind('/'));
  struct stat st {};
  if (stat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) return file + ": " + std::strerror(errno);
    return WritableByModeBits(folder) ? "" : folder + (Exists(folder) ? " is read-only" : " does not exist");
  }
  if (!S_ISREG(st.st_mode)) return file + " is no plain file";
  if (!WritableByModeBits(target)) return file + " is read-only";
  if (access(target.c_str(), R_OK) != 0) return file + " cannot be read";
  // Whether the kernel lets this process make the new file, as root may in spite of the mode bits.
  if (st.st_nlink == 1 && access(folder.c_str(), W_OK) != 0)
    return folder + " is read-only, so " + file + " cannot be replaced";
  return "";
}

}  // namespace

std::string SettingsFilePath(const std::string& programFolder) {
  if (KeptBesideTheProgram(programFolder)) return BesideTheProgram(programFolder);
  const std::string folder = UserSettingsFolder();
  return folder.empty() ? BesideTheProgram(programFolder) : folder + "/config.ini";
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
  const std::string why = WhyNotWritten(settingsFile);
  const std::string beside = BesideTheProgram(programFolder);
  if (why.empty() || settingsFile != beside || KeptBesideTheProgram(programFolder)) return why;
  // The file beside the program stands in for the user's, which could not be had.
  const std::string user = UserSettingsFolder();
  if (user.empty()) return "there is no home folder (HOME unset) and " + why;
  return user + " cannot be made and " + why;
}

}  // namespace platform::posix
