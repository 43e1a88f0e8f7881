// Names that another local user could plant in a shared folder, made for
// tests: a FIFO, a socket, a hard link or a symbolic link at a path.
#pragma once

#include <string>

namespace quill::test {

enum class Plant { kFifo, kSocket, kFolder, kHardLink, kSymbolicLink };

// A short name for test traces.
inline const char* PlantName(Plant plant) {
  constexpr const char* kNames[] = {"FIFO", "socket", "folder", "hard link", "symbolic link"};
  return kNames[static_cast<int>(plant)];
}

// Makes `plant` at `path` (separators as the library writes them); a link
// leads to `victim`, an existing file. False
// when this system cannot make it (Wine has no FIFOs or sockets).
bool MakePlant(Plant plant, const std::string& path, const std::string& victim);

// Gives the file or folder `path` to the user and group `id`, as another
// user's name; false where this process cannot (not root, or Windows).
bool GiveToUser(const std::string& path, unsigned id);

// True when this process may read and write every file (POSIX root).
bool IgnoresPermissions();

}  // namespace quill::test
