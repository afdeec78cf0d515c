// A private temporary folder for one test, removed with everything in it at the end; and small file
// helpers the tests share.
#pragma once

#include <string>

namespace testsupport {

class TempDir {
 public:
  TempDir();   // a new folder under $TMPDIR (or /tmp)
  ~TempDir();  // removes it recursively
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes (replaces) a file with exactly these bytes; fails the test on error.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace testsupport
