// Makes a folder the current folder for one scope and restores the old one.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace quill::test {

class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const std::string& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolderScope() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
  }
  CurrentFolderScope(const CurrentFolderScope&) = delete;
  CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace quill::test
