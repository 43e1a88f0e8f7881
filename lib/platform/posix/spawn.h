// Starting a program on POSIX, shared by the services and the test library.
#pragma once

#include <sys/types.h>

#include <string>

namespace quill::platform::posix {

// Starts `file` with the arguments of `parameters`, every signal at its
// default and none blocked, in `directory` when given, with standard error and
// output on `errorFd` and `outputFd` when they are not -1. Returns 0 and the
// process id, or an errno value.
int Spawn(const std::string& file, const char* parameters, const char* directory, pid_t* pid,
          int errorFd = -1, int outputFd = -1);

// From now on the kernel reaps started programs as they end (SIGCHLD with
// SA_NOCLDWAIT), so none is left as a zombie; ChildStatusKept lifts it.
void ReapChildrenAutomatically();

// While one of these exists, ended children keep their exit status for
// waitpid, although started programs are otherwise reaped by the kernel.
class ChildStatusKept {
 public:
  ChildStatusKept();
  ~ChildStatusKept();
  ChildStatusKept(const ChildStatusKept&) = delete;
  ChildStatusKept& operator=(const ChildStatusKept&) = delete;
};

}  // namespace quill::platform::posix
