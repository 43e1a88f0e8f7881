// A fresh, empty folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

namespace quill::test {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder in this system's own spelling, without a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + the system's separator + name.
  std::string Join(const std::string& name) const;
  // Creates (or replaces) a file below the folder with the given content and
  // returns its path.
  std::string WriteFile(const std::string& name, const std::string& content = "") const;
  // Creates a folder (and its parents) below the folder and returns its path.
  std::string MakeFolder(const std::string& name) const;

 private:
  std::string path_;
};

// True when a file or folder of that name exists (asked without the library).
bool Exists(const std::string& path);
// The content of a file, or empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace quill::test
