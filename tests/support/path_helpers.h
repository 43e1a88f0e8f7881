// Small path helpers shared by the folder and converter tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "platform/environment.h"

namespace quill::test {

// `path` written with the separator this system does not use natively.
inline std::string WithForeignSeparators(std::string path) {
  const char native = platform::kWindows ? '\\' : '/';
  std::replace(path.begin(), path.end(), native, platform::kWindows ? '/' : '\\');
  return path;
}

// The library's spelling of a path (`\` inside) as this system spells it.
inline std::string NativeSpelling(std::string path) {
  if (!platform::kWindows) std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The names of the entries of `folder`; empty when it cannot be listed.
inline std::set<std::string> EntryNames(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

}  // namespace quill::test
