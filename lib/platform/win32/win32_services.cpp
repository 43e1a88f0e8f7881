// Clock, sleep, process start and the error stream on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/services.h"

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

void IgnoreBrokenPipes() {
  // A write to a pipe without a reader fails with an error here; no signal.
}

}  // namespace quill::platform
