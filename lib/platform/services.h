// The clock, sleeping, starting a process, the console's error stream and
// where the special folders are, as one small interface, with the local time
// and the broken-pipe setting.
//
// Everything above the platform layer is written once and compiled for both
// systems. A test swaps the services for a fake with `ScopedServices`, so a
// loop of 100 polls or a 10-second retry runs in microseconds; a replacement
// that changes only some answers derives from `ForwardingServices`.
//
// The rules of the whole platform layer, stated once:
// - Threads. The programs are single-threaded. The services in force (what
//   `System()` answers, set by `ScopedServices`) are one process-wide
//   pointer for one thread; so is the dump writer's state (the walked dump
//   folder, the purge flag) in environment/dump_log.cpp. Every other call is
//   a plain system call on its arguments.
// - Failures. Calls answer with a value, never an exception. `QueryStatus`
//   gives the C runtime's error number; every other call says only whether
//   it worked (a bool, an empty string, a null stream or an empty object),
//   and `errno` is not to be read after it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace quill::platform {

// One request to start a file, as the Windows shell takes it. Null pointers
// stand for "not given".
struct ShellRequest {
  const char* operation = nullptr;
  const char* file = nullptr;
  const char* parameters = nullptr;
  const char* directory = nullptr;
  int showCommand = 1;
};

// The shell's answer: above 32 for an accepted request, else an error code
// (2 file not found, 3 path not found, 5 access denied, 8 out of memory,
// 11 invalid program, 31 no associated application, ...).
using ShellResult = std::uintptr_t;

class Services {
 public:
  virtual ~Services() = default;

  // Calendar time in seconds since 1970-01-01 00:00:00 UTC, 64-bit.
  virtual std::int64_t CalendarTime() = 0;
  // Milliseconds since an arbitrary start, wrapping at 32 bits.
  virtual std::uint32_t TickCount() = 0;
  // Pauses the calling thread.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Starts a program without waiting for it; see ShellResult.
  virtual ShellResult ExecuteShellRequest(const ShellRequest& request) = 0;
  // Writes bytes to the standard error stream, unbuffered.
  virtual void WriteError(std::string_view bytes) = 0;
  // The path of a special folder: as `SpecialFolderPath` in
  // platform/environment.h answers it, unless these services place it
  // elsewhere.
  virtual std::string SpecialFolderPath(void* owner, int folderId);
};

// Services that pass every call on to `target`: a replacement derives from
// it and overrides only what it changes, so whatever the services it was
// put in front of answer (a fake clock, a folder placed elsewhere) stays.
class ForwardingServices : public Services {
 public:
  explicit ForwardingServices(Services& target) : target_(target) {}

  std::int64_t CalendarTime() override { return target_.CalendarTime(); }
  std::uint32_t TickCount() override { return target_.TickCount(); }
  void Sleep(std::uint32_t milliseconds) override { target_.Sleep(milliseconds); }
  ShellResult ExecuteShellRequest(const ShellRequest& request) override {
    return target_.ExecuteShellRequest(request);
  }
  void WriteError(std::string_view bytes) override { target_.WriteError(bytes); }
  std::string SpecialFolderPath(void* owner, int folderId) override {
    return target_.SpecialFolderPath(owner, folderId);
  }

 private:
  Services& target_;
};

// The services in force: the real ones unless a test has put a fake in place.
Services& System();
// The real services of this system.
Services& RealServices();

// Puts `replacement` in force for the lifetime of this object.
class ScopedServices {
 public:
  explicit ScopedServices(Services& replacement);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services* previous_;
};

// Converts a calendar time to local broken-down time; false when this
// system's `localtime` refuses it (Windows refuses negative times).
bool LocalTime(std::int64_t calendarTime, std::tm* out);

// Makes a write to a pipe whose reader has gone, or past the file size limit,
// fail with an error instead of ending the process (SIGPIPE and SIGXFSZ
// ignored on POSIX; nothing to do on Windows).
// Programs started later get the default disposition back.
void IgnoreBrokenPipes();

}  // namespace quill::platform
