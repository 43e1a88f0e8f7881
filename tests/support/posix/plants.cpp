#include "support/plants.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace quill::test {

bool MakePlant(Plant plant, const std::string& libraryPath, const std::string& libraryVictim) {
  // Library paths may be written with `\`, which is no separator here.
  std::string path = libraryPath;
  std::string victim = libraryVictim;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::replace(victim.begin(), victim.end(), '\\', '/');
  std::error_code error;
  switch (plant) {
    case Plant::kFifo:
      return mkfifo(path.c_str(), 0666) == 0;
    case Plant::kSocket: {
      // Bound by its leaf name from inside its folder: socket addresses are
      // short, test paths need not be.
      const std::filesystem::path target(path);
      const std::string leaf = target.filename().string();
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (leaf.size() >= sizeof address.sun_path) return false;
      std::memcpy(address.sun_path, leaf.c_str(), leaf.size() + 1);
      const std::filesystem::path before = std::filesystem::current_path(error);
      std::filesystem::current_path(target.parent_path(), error);
      if (error) return false;
      const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      // The name stays after the socket is closed, with nobody listening.
      const bool bound =
          fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
      if (fd >= 0) close(fd);
      std::filesystem::current_path(before, error);
      return bound;
    }
    case Plant::kFolder:
      return std::filesystem::create_directory(path, error);
    case Plant::kHardLink:
      std::filesystem::create_hard_link(victim, path, error);
      return !error;
    case Plant::kSymbolicLink:
      std::filesystem::create_symlink(victim, path, error);
      return !error;
  }
  return false;
}

bool GiveToUser(const std::string& libraryPath, unsigned id) {
  std::string path = libraryPath;
  std::replace(path.begin(), path.end(), '\\', '/');
  return lchown(path.c_str(), id, id) == 0;
}

bool IgnoresPermissions() {
  return geteuid() == 0;
}

}  // namespace quill::test
