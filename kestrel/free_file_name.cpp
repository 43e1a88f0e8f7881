#include "kestrel/free_file_name.h"

#include <cstdint>

#include "environment/handoff_names.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"

namespace quill {

std::string FreeFileName(const std::string& path) {
  if (!PathExists(path)) return path;
  const std::string stem = PathWithoutExtension(path);
  const std::string extension = PathExtension(path);
  for (std::uint32_t serial = 0; serial < handoff::kNumberedNames; ++serial) {
    std::string candidate = handoff::NumberedName(stem, serial, extension);
    if (!PathExists(candidate)) return candidate;
  }
  return path;
}

std::string PathWithoutExtension(const std::string& path) {
  const std::string folder = PathFolder(path);
  // A file right below the root has an empty folder text; its separator must
  // stay, or the numbered names would move to the current folder.
  const std::string head = folder.empty() ? path.substr(0, 1) : AddTrailingSeparator(folder, '\\');
  return head + PathStem(path);
}

}  // namespace quill
