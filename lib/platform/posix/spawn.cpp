// Starting a program on POSIX: fork and exec with every signal at its default,
// and the reaping of ended children, for the services and the test library.
#include "platform/posix/spawn.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/posix/system_path.h"

extern char** environ;

namespace quill::platform::posix {
namespace {

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

}  // namespace

void ReapChildrenAutomatically() {
  std::lock_guard<std::mutex> lock(childDispositionMutex);
  if (reapChildren) return;
  reapChildren = true;
  ApplyChildDisposition();
}

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

}  // namespace quill::platform::posix
