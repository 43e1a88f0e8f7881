// Clock, sleep, process start and the error stream on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/posix/spawn.h"
#include "platform/posix/system_path.h"
#include "platform/services.h"

extern char** environ;

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

// Started programs are never waited for. With SA_NOCLDWAIT the kernel reaps
// them as they end, so however many a run starts, none is left as a zombie.
// A test's run of a program to its end needs the child's status, so while a
// ChildStatusKept exists the flag is lifted, and put back with the last one.
std::mutex childDispositionMutex;
bool reapChildren = false;
int childWaiters = 0;

void ApplyChildDisposition() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  action.sa_flags = (reapChildren && childWaiters == 0) ? SA_NOCLDWAIT : 0;
  sigemptyset(&action.sa_mask);
  sigaction(SIGCHLD, &action, nullptr);
}

void ReapChildrenAutomatically() {
  std::lock_guard<std::mutex> lock(childDispositionMutex);
  if (reapChildren) return;
  reapChildren = true;
  ApplyChildDisposition();
}

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

// The kernel's own record of a signal action (the x86-64 and generic layout).
struct KernelSignalAction {
  void (*handler)(int);
  unsigned long flags;
  void (*restorer)();
  std::uint64_t mask;
};

// The program a bare name starts: the first match on the search path.
std::string ProgramOnSearchPath(const std::string& file) {
  if (file.find('/') != std::string::npos) return file;
  const char* path = std::getenv("PATH");
  std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type end = folders.find(':', start);
    std::string folder = folders.substr(start, end == std::string::npos ? end : end - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + file;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (end == std::string::npos) return file;
    start = end + 1;
  }
}

// In the child between fork and exec: reports `error` to the parent and ends.
[[noreturn]] void FailStart(int reportFd, int error) {
  ssize_t ignored = write(reportFd, &error, sizeof error);
  static_cast<void>(ignored);
  _exit(127);
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
    ReapChildrenAutomatically();
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

namespace posix {

// Every signal at its default and none blocked, as spawn.h promises:
// posix_spawn cannot do this. The C library leaves its own two internal
// signals ignored in the child, and its wrappers refuse to reset them. So the
// child is forked and resets all signals with the raw system calls; an exec
// failure comes back through a pipe that the exec closes.
int Spawn(const std::string& file, const char* parameters, const char* directory, pid_t* pid,
          int errorFd, int outputFd) {
  std::vector<std::string> arguments = SplitCommandLine(parameters ? parameters : "");
  const std::string program = ProgramOnSearchPath(file);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(file.c_str()));
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string folder = posix::SystemPath(directory);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(report[0]);
    close(report[1]);
    return error;
  }
  if (child == 0) {
    close(report[0]);
    for (int signal = 1; signal <= 64; ++signal) {
      KernelSignalAction action{SIG_DFL, 0, nullptr, 0};
      syscall(SYS_rt_sigaction, signal, &action, nullptr, sizeof(std::uint64_t));
    }
    std::uint64_t none = 0;
    syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof none);
    if (!folder.empty() && chdir(folder.c_str()) != 0) FailStart(report[1], errno);
    if (errorFd >= 0 && dup2(errorFd, 2) < 0) FailStart(report[1], errno);
    if (outputFd >= 0 && dup2(outputFd, 1) < 0) FailStart(report[1], errno);
    execve(program.c_str(), argv.data(), environ);
    FailStart(report[1], errno);
  }
  close(report[1]);
  int error = 0;
  ssize_t got;
  while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (got == static_cast<ssize_t>(sizeof error)) {
    waitpid(child, nullptr, 0);  // the child that could not exec
    return error;
  }
  *pid = child;
  return 0;
}

ChildStatusKept::ChildStatusKept() {
  std::lock_guard<std::mutex> lock(childDispositionMutex);
  if (childWaiters++ == 0 && reapChildren) ApplyChildDisposition();
}

ChildStatusKept::~ChildStatusKept() {
  std::lock_guard<std::mutex> lock(childDispositionMutex);
  if (--childWaiters == 0 && reapChildren) ApplyChildDisposition();
}

}  // namespace posix

}  // namespace quill::platform
