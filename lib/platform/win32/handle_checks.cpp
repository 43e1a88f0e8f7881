#include "platform/win32/handle_checks.h"

#include <io.h>

#include <cstring>

namespace quill::platform::win32 {

const char* Text(const char* path) {
  return path ? path : "";
}

bool IsSinglePlainFile(HANDLE handle) {
  if (GetFileType(handle) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION information;
  std::memset(&information, 0, sizeof information);
  return GetFileInformationByHandle(handle, &information) &&
         (information.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         information.nNumberOfLinks == 1;
}

std::FILE* StreamOnHandle(HANDLE handle, int flags, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, mode);
  if (stream == nullptr) _close(fd);
  return stream;
}

// Opens `path` itself, never what a reparse point there names, and keeps the
// handle only when it is a plain file with one name.
HANDLE OpenPlainFile(const char* path, DWORD access, DWORD disposition) {
  const HANDLE handle =
      CreateFileA(Text(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  if (!win32::IsSinglePlainFile(handle)) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

bool Truncate(HANDLE handle) {
  LARGE_INTEGER start{};
  return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace quill::platform::win32
