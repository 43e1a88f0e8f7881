// The platform layer's test machinery on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/posix/spawn.h"
#include "platform/posix/system_path.h"
#include "platform/testing.h"

namespace quill::platform {
namespace {

// `path` opened for the standard stream of a started program; -1 for none.
int OpenForStream(const std::string& path) {
  if (path.empty()) return -1;
  return open(posix::SystemPath(path.c_str()).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
              0600);
}

}  // namespace

bool HoldFileFromWriters(const char* path, std::uint32_t milliseconds, HoldKind kind) {
  const std::string systemPath = posix::SystemPath(path);
  if (kind == HoldKind::kRecordLock) {
    posix::Descriptor file(open(systemPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0 || flock(file.get(), LOCK_EX) != 0) return false;
    RealServices().Sleep(milliseconds);
    return flock(file.get(), LOCK_UN) == 0;
  }
  struct stat status {};
  if (stat(systemPath.c_str(), &status) != 0) return false;
  const mode_t mode = status.st_mode & 07777;
  if (chmod(systemPath.c_str(), mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) != 0) return false;
  RealServices().Sleep(milliseconds);
  return chmod(systemPath.c_str(), mode) == 0;
}

bool MakeLinkForTesting(const std::string& target, const std::string& link, bool) {
  return symlink(posix::SystemPath(target.c_str()).c_str(),
                 posix::SystemPath(link.c_str()).c_str()) == 0;
}

std::uint32_t SetFileCreationMaskForTesting(std::uint32_t mask) {
  return static_cast<std::uint32_t>(umask(static_cast<mode_t>(mask)));
}

bool BecomeUserForTesting(std::uint32_t id) {
  if (geteuid() != 0) return false;
  const gid_t group = static_cast<gid_t>(id);
  return setgroups(1, &group) == 0 && setgid(group) == 0 && setuid(static_cast<uid_t>(id)) == 0;
}

bool BlockInterruptForTesting(bool block) {
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  return pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &interrupt, nullptr) == 0;
}

int RunAndWait(const std::string& program, const std::string& parameters,
               const std::string& errorFile, const std::string& outputFile) {
  posix::ChildStatusKept keep;
  const posix::Descriptor error(OpenForStream(errorFile));
  const posix::Descriptor output(OpenForStream(outputFile));
  if ((!errorFile.empty() && error.get() < 0) || (!outputFile.empty() && output.get() < 0)) {
    return -1;
  }
  pid_t pid = 0;
  if (posix::Spawn(posix::SystemPath(program.c_str()), parameters.c_str(), nullptr, &pid,
                   error.get(), output.get()) != 0) {
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

FileMappedForTesting::FileMappedForTesting(const char*) {}

FileMappedForTesting::~FileMappedForTesting() = default;

bool SetFileSizeForTesting(const char* path, std::int64_t size) {
  return truncate(posix::SystemPath(path).c_str(), static_cast<off_t>(size)) == 0;
}

StandardInputClosedForTesting::StandardInputClosedForTesting() : saved_(dup(0)) {
  if (saved_ >= 0) close(0);
}

StandardInputClosedForTesting::~StandardInputClosedForTesting() {
  if (saved_ < 0) return;
  dup2(saved_, 0);
  close(saved_);
}

std::uint32_t ProcessIdForTesting() {
  return static_cast<std::uint32_t>(getpid());
}

}  // namespace quill::platform
