// Reading files and replacing them with files made beside them, on Windows.
#include <fcntl.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/reading.h"
#include "platform/win32/handle_checks.h"

namespace quill::platform {

std::size_t ReadFileData(std::FILE* stream, char* buffer, std::size_t size) {
  // The hole-aware query (FSCTL_QUERY_ALLOCATED_RANGES) is not asked: the
  // caller bounds what it reads of a file.
  return stream != nullptr ? std::fread(buffer, 1, size, stream) : 0;
}

bool CanReplace(const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  // Asked of the file itself, never of what a reparse point there names.
  const HANDLE file = CreateFileA(
      path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool plain = win32::IsSinglePlainFile(file);
  CloseHandle(file);
  return plain;
}

std::FILE* CreateFileBeside(const std::string& target, std::string* path) {
  const std::string base = target + "." + std::to_string(GetCurrentProcessId());
  // A name that someone else took first is passed over, a few times only.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string name = base + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".new";
    const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return nullptr;
    }
    std::FILE* stream = win32::StreamOnHandle(file, _O_WRONLY | _O_BINARY, "wb");
    if (stream == nullptr) {
      DeleteFileA(name.c_str());
      return nullptr;
    }
    *path = name;
    return stream;
  }
  return nullptr;
}

bool RenameOver(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace quill::platform
