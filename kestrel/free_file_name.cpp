#include "kestrel/free_file_name.h"

#include <cstdint>

#include "paths/file_status.h"
#include "paths/path_strings.h"

namespace quill {
namespace {

constexpr std::uint32_t kSerialCount = 1000;

}  // namespace

std::string FreeFileName(const std::string& path) {
  if (!PathExists(path)) return path;
  const std::string extension = PathExtension(path);
  // One candidate buffer; only its three digits change from test to test.
  std::string candidate = PathWithoutExtension(path) + ".000";
  const std::size_t digits = candidate.size() - 3;
  if (!extension.empty()) candidate += "." + extension;
  for (std::uint32_t serial = 0; serial < kSerialCount; ++serial) {
    candidate[digits] = static_cast<char>('0' + serial / 100);
    candidate[digits + 1] = static_cast<char>('0' + serial / 10 % 10);
    candidate[digits + 2] = static_cast<char>('0' + serial % 10);
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
