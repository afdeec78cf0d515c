// Writing a whole file so that nothing the user has is lost: the one way the programs write their
// output (pictures, settings). What is at the path decides how:
//   - nothing: a new file, written beside it under a temporary name, flushed, then renamed in place;
//   - a plain file: replaced whole the same way, keeping its mode (one with more than one name is
//     rewritten in place instead, so that every name keeps the new contents; its space is reserved
//     before any old byte is overwritten, so a full disk leaves the old contents whole);
//   - a symbolic link (even a dangling one): the link stays and its final target is written;
//   - a device or FIFO: written in place, never replaced (when the caller allows such files);
//   - a folder, a socket, a file without any write permission bit (even for root) or one this
//     process may not write, and a file that is one of the run's inputs: refused, nothing touched.
// Temporary files of runs that died before their rename are removed on the way. A write that may be
// interrupted (WholeFileOptions::stopOnTermination) leaves the old file or the new one, whole.
// Paired with whole_file_writer.cpp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

struct WholeFileOptions {
  // Devices and FIFOs are written in place; when false they are refused (the settings file).
  bool allowSpecialFiles = true;
  // Files the run reads: writing over any of them, through whatever path or link, is refused.
  std::vector<std::string> inputs;
  // A termination signal (posix/termination) before the new bytes are in place drops them, leaving
  // what was there, and the write fails as "interrupted"; one after it changes nothing. Off for the
  // settings, whose save a signal asks for.
  bool stopOnTermination = false;
};

// True when every byte reached the file. On failure `error` (when given) says why, with the path.
bool WriteWholeFile(const std::string& path, std::string_view bytes, const WholeFileOptions& options,
                    std::string* error = nullptr);

// Writes all of `bytes` to an open descriptor (standard output, say), waiting in short steps while a
// pipe is full so that a termination signal still ends the wait; `name` is for the error message.
bool WriteToDescriptor(int fd, std::string_view bytes, const std::string& name, std::string* error = nullptr);

// The path a write of `path` lands on: symbolic links followed to their last target, which need not
// exist. A path that is no link comes back as it is.
std::string FinalLinkTarget(const std::string& path);

// Whether the file (or folder) at `path` has a write permission bit and this process may write it.
bool WritableByModeBits(const std::string& path);

}  // namespace platform::posix
