// Clock, sleep, process start and the error stream on POSIX.
#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/spawn.h"
#include "platform/posix/system_path.h"
#include "platform/services.h"

namespace quill::platform {
namespace {

// The shell's error codes that a refused start is reported with.
constexpr ShellResult kFileNotFound = 2;
constexpr ShellResult kPathNotFound = 3;
constexpr ShellResult kAccessDenied = 5;
constexpr ShellResult kOutOfMemory = 8;
constexpr ShellResult kBadFormat = 11;
constexpr ShellResult kNoAssociation = 31;
constexpr ShellResult kAccepted = 33;

ShellResult ResultOfStartError(int error, const std::string& file) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: {
      // Tell a missing folder from a missing file, as the shell does.
      std::string::size_type slash = file.find_last_of('/');
      if (slash != std::string::npos && slash > 0) {
        struct stat folder {};
        std::string parent = file.substr(0, slash);
        if (stat(parent.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return kPathNotFound;
      }
      return kFileNotFound;
    }
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case ENOMEM:
    case EAGAIN:
      return kOutOfMemory;
    case ENOEXEC:
    case ELIBBAD:
      return kBadFormat;
    default:
      return kNoAssociation;
  }
}

class PosixServices final : public Services {
 public:
  std::int64_t CalendarTime() override { return static_cast<std::int64_t>(::time(nullptr)); }

  std::uint32_t TickCount() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                       static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
  }

  void Sleep(std::uint32_t milliseconds) override {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }

  ShellResult ExecuteShellRequest(const ShellRequest& request) override {
    // Only starting a program is known here; other verbs have no handler.
    std::string operation = request.operation ? request.operation : "";
    if (!operation.empty() && operation != "open") return kNoAssociation;
    std::string file = posix::SystemPath(request.file);
    if (file.empty()) return kFileNotFound;
    struct stat status {};
    if (file.find('/') == std::string::npos && stat(file.c_str(), &status) == 0) {
      // Like the shell, a bare name in the current folder wins over the search path.
      file = "./" + file;
    }
    if (file.find('/') != std::string::npos) {
      if (stat(file.c_str(), &status) != 0) return ResultOfStartError(errno, file);
      // A folder or a document would need a program associated with it.
      if (!S_ISREG(status.st_mode)) return kNoAssociation;
    }
    posix::ReapChildrenAutomatically();
    pid_t pid = 0;
    int error = posix::Spawn(file, request.parameters, request.directory, &pid);
    return error == 0 ? kAccepted : ResultOfStartError(error, file);
  }

  void WriteError(std::string_view bytes) override {
    // Nobody may be reading any more (a closed pipe, a full disk): the line is
    // only for a watching person, so a failed write is let go, and the error
    // indicator cleared so that later lines are tried again.
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
    std::clearerr(stderr);
  }
};

}  // namespace

Services& RealServices() {
  static PosixServices services;
  return services;
}

bool LocalTime(std::int64_t calendarTime, std::tm* out) {
  time_t time = static_cast<time_t>(calendarTime);
  return localtime_r(&time, out) != nullptr;
}

void IgnoreBrokenPipes() {
  // Spawn gives every started program the default dispositions back.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

}  // namespace quill::platform
