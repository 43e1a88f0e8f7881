#include "environment/directory_tree.h"

#include "environment/dump_line.h"
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
  if (FolderExists(path) && platform::OpenGuardedFolder(path).IsOpen()) return true;
  const StringList parts =
      SplitString(RemoveTrailingSeparator(NormalizeSeparators(path, '\\')), '\\');
  std::string level;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) level += '\\';
    level += parts[i];
    if (level.empty() || level == "\\") continue;
    // Another user may point such a link anywhere: it counts as a level that
    // cannot be made.
    if (platform::IsUntrustedLink(level)) {
      WriteDumpEntry(dumpline::CantCreateText(level).c_str());
      return false;
    }
    // An existing level is passed over before the drive and network rules, so
    // those rules only ever decide about missing levels.
    if (FolderExists(level) || IsDriveOrShare(level)) continue;
    // A level that another process made in the meantime counts as made.
    if (!platform::MakeDirectory(level.c_str()) && !FolderExists(level)) {
      WriteDumpEntry(dumpline::CantCreateText(level).c_str());
      return false;
    }
  }
  return true;
}

platform::SharedFolder OpenSharedTree(const std::string& base, const StringList& levels,
                                      bool create, std::string* failedLevel) {
  if (failedLevel != nullptr) failedLevel->clear();
  if (create && !base.empty() && !FolderExists(base) && !CreateDirectoryTree(base)) {
    return platform::SharedFolder();
  }
  platform::SharedFolder folder = platform::OpenSharedBase(base);
  std::string level = base;
  for (const std::string& name : levels) {
    if (!folder.IsOpen()) break;
    level = AddTrailingSeparator(level, '\\') + name;
    platform::SharedLevel outcome = platform::SharedLevel::kFailed;
    // A link or junction is a folder that cannot be made: nothing is created
    // inside it, nothing is written or deleted through it.
    folder = platform::OpenSharedLevel(folder, name.c_str(), create, &outcome);
    if (!folder.IsOpen() && failedLevel != nullptr) {
      *failedLevel = NormalizeSeparators(level, '\\');
    }
  }
  return folder;
}

bool CreateEmptyFile(const std::string& path) {
  const std::string file = NormalizeSeparators(path, '\\');
  const std::string folder = PathFolder(file);
  if (!CreateDirectoryTree(folder)) return false;
  // The folder as the name spells it: a bare name lies in the current folder.
  const std::string leaf = PathLeaf(file);
  const std::string holder = file.substr(0, file.size() - leaf.size());
  return platform::CreateEmptyFileIn(platform::OpenGuardedFolder(holder), leaf.c_str());
}

}  // namespace quill
