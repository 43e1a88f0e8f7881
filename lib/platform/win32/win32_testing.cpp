// The platform layer's test machinery on Windows.
#include <windows.h>
#include <winioctl.h>

#include <string>

#include "platform/testing.h"

namespace quill::platform {
namespace {

// Closes a kernel handle at the end of its scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

bool HoldFileFromWriters(const char* path, std::uint32_t milliseconds, HoldKind kind) {
  const bool lock = kind == HoldKind::kRecordLock;
  HANDLE file = CreateFileA(path ? path : "", GENERIC_READ | GENERIC_WRITE,
                            lock ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED whole{};
  if (lock && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    CloseHandle(file);
    return false;
  }
  ::Sleep(milliseconds);
  if (lock) {
    OVERLAPPED unlock{};
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &unlock);
  }
  CloseHandle(file);
  return true;
}

bool MakeLinkForTesting(const std::string& target, const std::string& link, bool folder) {
  // Without privilege where the system allows it (developer mode).
  constexpr DWORD kUnprivileged = 0x2;
  const DWORD flags = folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  if (!CreateSymbolicLinkA(link.c_str(), target.c_str(), flags | kUnprivileged) &&
      !CreateSymbolicLinkA(link.c_str(), target.c_str(), flags)) {
    return false;
  }
  // Some systems (Wine) answer success and make nothing.
  const DWORD attributes = GetFileAttributesA(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::uint32_t SetFileCreationMaskForTesting(std::uint32_t) {
  return 0;
}

bool BecomeUserForTesting(std::uint32_t) {
  return false;
}

int RunAndWait(const std::string& program, const std::string& parameters,
               const std::string& errorFile, const std::string& outputFile) {
  std::string commandLine = "\"" + program + "\"";
  if (!parameters.empty()) commandLine += " " + parameters;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle errorHandle(errorFile.empty() ? INVALID_HANDLE_VALUE
                                       : CreateFileA(errorFile.c_str(), GENERIC_WRITE,
                                                     FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  Handle outputHandle(outputFile.empty() ? INVALID_HANDLE_VALUE
                                         : CreateFileA(outputFile.c_str(), GENERIC_WRITE,
                                                       FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  BOOL inherit = FALSE;
  if (errorHandle.get() != INVALID_HANDLE_VALUE || outputHandle.get() != INVALID_HANDLE_VALUE) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outputHandle.get() != INVALID_HANDLE_VALUE
                             ? outputHandle.get()
                             : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = errorHandle.get() != INVALID_HANDLE_VALUE ? errorHandle.get()
                                                                  : GetStdHandle(STD_ERROR_HANDLE);
    inherit = TRUE;
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, inherit, 0, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  Handle processHandle(process.hProcess);
  Handle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(processHandle.get(), &exitCode)) return -1;
  return static_cast<int>(exitCode);
}

bool BlockInterruptForTesting(bool) {
  return false;
}

FileMappedForTesting::FileMappedForTesting(const char* path) {
  const HANDLE file = CreateFileA(path ? path : "", GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  file_ = reinterpret_cast<std::intptr_t>(file);
  const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return;
  mapping_ = reinterpret_cast<std::intptr_t>(mapping);
  view_ = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
}

FileMappedForTesting::~FileMappedForTesting() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  if (mapping_ != -1) CloseHandle(reinterpret_cast<HANDLE>(mapping_));
  if (file_ != -1) CloseHandle(reinterpret_cast<HANDLE>(file_));
}

bool SetFileSizeForTesting(const char* path, std::int64_t size) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  // Sparse where the file system allows it, so that the hole takes no disk.
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER at;
  at.QuadPart = size;
  const bool set = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return set;
}

StandardInputClosedForTesting::StandardInputClosedForTesting() = default;

StandardInputClosedForTesting::~StandardInputClosedForTesting() = default;

std::uint32_t ProcessIdForTesting() {
  return static_cast<std::uint32_t>(GetCurrentProcessId());
}

}  // namespace quill::platform
