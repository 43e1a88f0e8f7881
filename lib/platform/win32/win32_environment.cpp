// Process environment queries on Windows.
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/environment.h"

namespace quill::platform {
namespace {

constexpr DWORD kPathBuffer = MAX_PATH;  // 260
constexpr std::size_t kSpecialFolderBuffer = 530;
constexpr DWORD kUserNameBuffer = 257;  // UNLEN + 1

using GetSpecialFolderPathFunction = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);

// The shell's item-identifier way to a special folder, for a shell library
// without SHGetSpecialFolderPathA.
void SpecialFolderThroughItemList(HWND owner, int folderId, char* buffer) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return;
  LPITEMIDLIST items = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(owner, folderId, &items)) && items != nullptr) {
    SHGetPathFromIDListA(items, buffer);
    allocator->Free(items);
  }
  allocator->Release();
}

}  // namespace

std::string ModuleFileName() {
  char buffer[kPathBuffer] = {};
  if (GetModuleFileNameA(nullptr, buffer, kPathBuffer) == 0) return std::string();
  buffer[kPathBuffer - 1] = '\0';
  return std::string(buffer);
}

std::string CurrentDirectory() {
  char buffer[kPathBuffer] = {};
  DWORD length = GetCurrentDirectoryA(kPathBuffer, buffer);
  // A folder that does not fit comes back as the size it would need, with
  // nothing written.
  if (length == 0 || length >= kPathBuffer) return std::string();
  return std::string(buffer);
}

std::string LongPathName(const std::string& path) {
  if (path.size() >= kPathBuffer) return path;
  char buffer[kPathBuffer] = {};
  std::memcpy(buffer, path.data(), path.size());
  DWORD length = GetLongPathNameA(buffer, buffer, kPathBuffer);
  if (length == 0 || length >= kPathBuffer) return path;
  return std::string(buffer);
}

bool SetEnvironmentValue(const char* name, const char* value) {
  if (name == nullptr || *name == '\0') return false;
  // _putenv_s keeps the runtime's copy (getenv) and the system's
  // (GetTempPathA, started programs) alike. It cannot set an empty value, only
  // remove the variable; the system's copy then gets the empty value.
  bool done = _putenv_s(name, value ? value : "") == 0;
  if (done && value != nullptr && *value == '\0') done = SetEnvironmentVariableA(name, "") != 0;
  return done;
}

std::string SystemTempPath() {
  char buffer[kPathBuffer] = {};
  DWORD length = GetTempPathA(kPathBuffer, buffer);
  if (length == 0 || length >= kPathBuffer) return std::string();
  return std::string(buffer);
}

std::string SpecialFolderPath(void* owner, int folderId) {
  char buffer[kSpecialFolderBuffer] = {};
  HWND window = static_cast<HWND>(owner);
  // Bound by name at every call: older shell libraries lack the function.
  HMODULE shell = LoadLibraryA("Shell32.dll");
  FARPROC address = shell ? GetProcAddress(shell, "SHGetSpecialFolderPathA") : nullptr;
  if (address != nullptr) {
    auto getPath =
        reinterpret_cast<GetSpecialFolderPathFunction>(reinterpret_cast<void (*)()>(address));
    // The create request goes as the last argument only: shells that add it
    // to the identifier (Wine's) would carry a flag given twice past its bit.
    const bool create = (folderId & kShellFolderCreate) != 0;
    getPath(window, buffer, folderId & ~kShellFolderCreate, create);
  } else {
    SpecialFolderThroughItemList(window, folderId, buffer);
  }
  buffer[kSpecialFolderBuffer - 1] = '\0';
  return std::string(buffer);
}

std::string UserName() {
  char buffer[kUserNameBuffer] = {};
  DWORD size = kUserNameBuffer;
  if (!GetUserNameA(buffer, &size)) return std::string();
  buffer[kUserNameBuffer - 1] = '\0';
  return std::string(buffer);
}

bool IsPrivateFolder(const char* path) {
  // No owner rule on Windows: a real folder, not a junction or link.
  if (path == nullptr || *path == '\0') return false;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool IsSuperUser() {
  return false;
}

}  // namespace quill::platform
