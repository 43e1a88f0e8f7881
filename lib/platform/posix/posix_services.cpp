// Clock, sleep, process start and the error stream on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/posix/system_path.h"

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
void ReapChildrenAutomatically() {
  static bool done = false;
  if (done) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  action.sa_flags = SA_NOCLDWAIT;
  sigemptyset(&action.sa_mask);
  sigaction(SIGCHLD, &action, nullptr);
  done = true;
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

// Starts `file` with the arguments of `parameters`, all signals at their
// defaults and none blocked. Returns 0 and the process id, or an errno value.
int Spawn(const std::string& file, const char* parameters, const char* directory, pid_t* pid,
          const std::string& errorFile = std::string()) {
  std::vector<std::string> arguments = SplitCommandLine(parameters ? parameters : "");
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(file.c_str()));
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigfillset(&all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::string folder = posix::SystemPath(directory);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::string errorPath = posix::SystemPath(errorFile.c_str());
  if (!errorPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  }

  int error;
  if (file.find('/') == std::string::npos) {
    error = posix_spawnp(pid, file.c_str(), &actions, &attributes, argv.data(), environ);
  } else {
    error = posix_spawn(pid, file.c_str(), &actions, &attributes, argv.data(), environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error;
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
    int error = Spawn(file, request.parameters, request.directory, &pid);
    return error == 0 ? kAccepted : ResultOfStartError(error, file);
  }

  void WriteError(std::string_view bytes) override {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
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

int RunAndWait(const std::string& program, const std::string& parameters,
               const std::string& errorFile) {
  pid_t pid = 0;
  if (Spawn(posix::SystemPath(program.c_str()), parameters.c_str(), nullptr, &pid, errorFile) !=
      0) {
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quill::platform
