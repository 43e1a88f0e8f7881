// Process environment queries on POSIX, standing in for the Windows calls.
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/posix/system_path.h"

namespace quill::platform {
namespace {

constexpr std::size_t kPathBuffer = 260;

}  // namespace

std::string ModuleFileName() {
  char buffer[kPathBuffer] = {};
  // Like a 260-byte module-name buffer: a longer path comes back cut.
  ssize_t length = readlink("/proc/self/exe", buffer, kPathBuffer - 1);
  if (length <= 0) return std::string();
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string CurrentDirectory() {
  char buffer[kPathBuffer] = {};
  if (getcwd(buffer, kPathBuffer) == nullptr) return std::string();
  return std::string(buffer);
}

// Names have one form only here.
std::string LongPathName(const std::string& path) {
  return path;
}

bool SetEnvironmentValue(const char* name, const char* value) {
  if (name == nullptr || *name == '\0') return false;
  return (value ? setenv(name, value, 1) : unsetenv(name)) == 0;
}

// No system temporary path: the library's fallbacks through the environment
// and /tmp apply.
std::string SystemTempPath() {
  return std::string();
}

std::string SpecialFolderPath(void* /*owner*/, int folderId) {
  switch (static_cast<ShellFolder>(folderId & kShellFolderMask)) {
    case ShellFolder::kCommonDocuments:
      return "/var/tmp";
    case ShellFolder::kProgramFiles:
      return "/opt";
    case ShellFolder::kWindows:
      return "/usr/local/bin";
    case ShellFolder::kSystem:
      return "/usr/bin";
  }
  return std::string();
}

std::string UserName() {
  long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return std::string();
  }
  // The Windows call's buffer holds 256 characters and a NUL.
  return std::string(found->pw_name).substr(0, 256);
}

bool IsPrivateFolder(const char* path) {
  const std::string name = posix::SystemPath(path);
  if (name.empty()) return false;
  const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool usable = posix::IsPrivate(fd);
  close(fd);
  return usable;
}

bool IsSuperUser() {
  return geteuid() == 0;
}

}  // namespace quill::platform
