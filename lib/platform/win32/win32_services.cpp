// Clock, sleep, process start and the error stream on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace quill::platform {
namespace {

class Win32Services final : public Services {
 public:
  std::int64_t CalendarTime() override { return static_cast<std::int64_t>(_time64(nullptr)); }

  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(::GetTickCount()); }

  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

  ShellResult ExecuteShellRequest(const ShellRequest& request) override {
    HINSTANCE result = ::ShellExecuteA(nullptr, request.operation, request.file, request.parameters,
                                       request.directory, request.showCommand);
    return reinterpret_cast<ShellResult>(result);
  }

  void WriteError(std::string_view bytes) override {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
  }
};

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

Services& RealServices() {
  static Win32Services services;
  return services;
}

bool LocalTime(std::int64_t calendarTime, std::tm* out) {
  __time64_t time = static_cast<__time64_t>(calendarTime);
  // The runtime refuses times before 1970 and past its range with null.
  std::tm* converted = _localtime64(&time);
  if (converted == nullptr) return false;
  *out = *converted;
  return true;
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

void IgnoreBrokenPipes() {
  // A write to a pipe without a reader fails with an error here; no signal.
}

}  // namespace quill::platform
