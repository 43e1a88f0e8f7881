#include "support/plants.h"

#include <filesystem>

namespace quill::test {

// No FIFOs or sockets in a Windows folder; links only where the system
// makes them (Wine makes hard links, and symbolic links it cannot).
bool MakePlant(Plant plant, const std::string& path, const std::string& victim) {
  std::error_code error;
  switch (plant) {
    case Plant::kFolder:
      return std::filesystem::create_directory(path, error);
    case Plant::kHardLink:
      std::filesystem::create_hard_link(victim, path, error);
      return !error;
    default:
      return false;
  }
}

bool GiveToUser(const std::string&, unsigned) {
  return false;
}

bool IgnoresPermissions() {
  return false;
}

}  // namespace quill::test
