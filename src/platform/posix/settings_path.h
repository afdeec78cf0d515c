// Where the settings file (config.ini) lives. Beside the program whenever it may be written there:
// the file exists and is writable, or the program's folder is writable, both judged by the mode bits
// even for root; but a file there without any write bit is only a starting file, whatever the
// folder's mode. Otherwise (a system-wide install) the user's own file,
// $XDG_CONFIG_HOME/scatterview/config.ini, or ~/.config/scatterview/config.ini when XDG_CONFIG_HOME
// is unset, empty or relative. Until the user's file exists, the read-only file beside the program
// (if any) gives its starting values. Paired with settings_path.cpp.
#pragma once

#include <string>

namespace platform::posix {

// The settings file for a program in `programFolder`; nothing is created. Beside the program when
// there is no home folder to go to.
std::string SettingsFilePath(const std::string& programFolder);

// The file to read the settings from, without creating anything: SettingsFilePath, or while the user's
// file does not exist yet, the one beside the program.
std::string SettingsFileToRead(const std::string& programFolder);

// SettingsFilePath made ready to be read and written: the user's folder created, and a missing user's
// file started as a copy of the one beside the program (comments and other sections included). When
// the folder cannot be made, the path beside the program (read, but not saved).
std::string PrepareSettingsFile(const std::string& programFolder);

// Why the save will not put the view into `settingsFile`, the path PrepareSettingsFile gave, in a few
// words naming the paths ("/home/u/.config/scatterview cannot be made and /opt/sv/config.ini is
// read-only", "/opt/sv is read-only, so /opt/sv/config.ini cannot be replaced"); "" when it can.
// A file over the settings size limit is the caller's to tell.
std::string WhyTheViewIsNotSaved(const std::string& programFolder, const std::string& settingsFile);

}  // namespace platform::posix
