#include "environment/directory_tree.h"

#include "environment/dump_log.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/platform.h"

namespace quill {
namespace {

// A drive (`C:`), or the server or share of a network path: these can only be
// reached, never made.
bool IsDriveOrShare(const std::string& level) {
  if (LastChar(level) == ':') return true;
  if (!IsNetworkPath(level)) return false;
  const std::string rest = level.substr(2);
  const std::size_t serverEnd = rest.find('\\');
  if (serverEnd == std::string::npos) return true;
  return rest.find('\\', serverEnd + 1) == std::string::npos;
}

}  // namespace

bool CreateDirectoryTree(const std::string& path) {
  if (FolderExists(path)) return true;
  const StringList parts =
      SplitString(RemoveTrailingSeparator(NormalizeSeparators(path, '\\')), '\\');
  std::string level;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) level += '\\';
    level += parts[i];
    // An existing level is passed over before the drive and network rules, so
    // those rules only ever decide about missing levels.
    if (level.empty() || level == "\\" || FolderExists(level)) continue;
    if (IsDriveOrShare(level)) continue;
    if (!platform::MakeDirectory(level.c_str())) {
      WriteDumpEntry(("Can't create " + level).c_str());
      return false;
    }
  }
  return true;
}

bool CreateEmptyFile(const std::string& path) {
  const std::string file = NormalizeSeparators(path, '\\');
  const std::string folder = PathFolder(file);
  if (!FolderExists(folder) && !CreateDirectoryTree(folder)) return false;
  return platform::CreateEmptyFileAt(file.c_str());
}

}  // namespace quill
