#include "environment/directory_tree.h"

#include "environment/dump_log.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/files.h"
#include "platform/shared_tree.h"

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
    // A level that another process made in the meantime counts as made.
    if (!platform::MakeDirectory(level.c_str()) && !FolderExists(level)) {
      WriteDumpEntry(("Can't create " + level).c_str());
      return false;
    }
  }
  return true;
}

platform::SharedFolder OpenSharedTree(const std::string& base, const StringList& levels,
                                      bool create) {
  if (create && !base.empty() && !FolderExists(base) && !CreateDirectoryTree(base)) {
    return platform::SharedFolder();
  }
  platform::SharedFolder folder = platform::OpenSharedBase(base);
  std::string level = base;
  for (const std::string& name : levels) {
    if (!folder.IsOpen()) break;
    level = AddTrailingSeparator(level, '\\') + name;
    platform::SharedLevel outcome = platform::SharedLevel::kFailed;
    folder = platform::OpenSharedLevel(folder, name.c_str(), create, &outcome);
    // A link or junction is treated as a folder that cannot be made: nothing
    // is created inside it, nothing is written or deleted through it.
    const bool refused =
        outcome == platform::SharedLevel::kRefused || outcome == platform::SharedLevel::kFailed;
    if (create && refused) WriteDumpEntry(("Can't create " + level).c_str());
  }
  return folder;
}

bool CreateEmptyFile(const std::string& path) {
  const std::string file = NormalizeSeparators(path, '\\');
  const std::string folder = PathFolder(file);
  if (!FolderExists(folder) && !CreateDirectoryTree(folder)) return false;
  return platform::CreateEmptyFileAt(file.c_str());
}

}  // namespace quill
