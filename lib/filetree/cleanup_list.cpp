#include "filetree/cleanup_list.h"

#include <algorithm>
#include <utility>

#include "environment/directory_tree.h"
#include "filetree/file_copy.h"
#include "filetree/folder_listing.h"
#include "paths/file_status.h"
#include "paths/internal.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/shared_tree.h"

namespace quill {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Two's complement wrap to 32 bits, without relying on a narrowing of an
// out-of-range value.
std::int32_t Wrap32(std::int64_t value) {
  const std::uint32_t bits = static_cast<std::uint32_t>(static_cast<std::uint64_t>(value));
  return bits <= 0x7FFFFFFFu
             ? static_cast<std::int32_t>(bits)
             : static_cast<std::int32_t>(static_cast<std::int64_t>(bits) - 0x100000000);
}

// The purge's age rule: `now` less the last write, at least `days` days,
// both counted in signed 32-bit seconds. An age or a limit beyond that range
// wraps rather than overflows, so every input has a defined answer.
bool IsOldEnough(std::int64_t now, std::int64_t modifyTime, std::int32_t days) {
  const std::int32_t limit = Wrap32(static_cast<std::int64_t>(days) * kSecondsPerDay);
  return Wrap32(now - modifyTime) >= limit;
}

// As far as its owner goes: this user's, or any for root; where owners are
// not known, the folder's permissions decide when it is removed.
bool MayRemove(const platform::EntryStatus& status) {
  return !status.ownerKnown || status.ownedByUser || platform::IsSuperUser();
}

bool IsReadOnly(const std::string& path) {
  return FileAttributes(path).HasAttributes(platform::kAttributeReadOnly) != 0;
}

}  // namespace

CleanupList::~CleanupList() {
  CleanupList::CopyAll();
  CleanupList::RemoveAll();
}

bool CleanupList::Add(const std::string& path) {
  return Add(path.c_str());
}

bool CleanupList::Add(const char* path) {
  sources.push_back(internal::FromPointer(path));
  return true;
}

bool CleanupList::AddAll(StringList list) {
  sources.insert(sources.end(), std::make_move_iterator(list.begin()),
                 std::make_move_iterator(list.end()));
  return true;
}

bool CleanupList::AddWithCopy(const char* source, const char* destination) {
  sources.push_back(internal::FromPointer(source));
  destinations.resize(sources.size());
  destinations.back() = internal::FromPointer(destination);
  return true;
}

bool CleanupList::CopyAll() {
  for (std::size_t i = 0; i < sources.size() && i < destinations.size(); ++i) {
    const std::string& source = sources[i];
    const std::string& destination = destinations[i];
    if (source.empty() || destination.empty() || !PathExists(source)) continue;
    // A file that did not reach its destination must not be lost.
    if (!CopyFileTo(source.c_str(), destination.c_str())) sources[i].clear();
  }
  destinations.clear();
  return true;
}

bool CleanupList::RemoveAll() {
  std::sort(sources.begin(), sources.end());
  sources.erase(std::unique(sources.begin(), sources.end()), sources.end());
  std::reverse(sources.begin(), sources.end());
  for (std::string& entry : sources) {
    if (entry.empty()) continue;
    const std::string path = RemoveTrailingSeparator(entry);
    entry.clear();
    const auto shared = sharedFiles.find(path);
    if (shared != sharedFiles.end()) {
      // The age is asked again now: a file written since it was queued (such
      // as last year's file of this hour, appended to by this run) stays.
      const SharedFile& file = shared->second;
      const platform::SharedFolder folder = OpenSharedTree(file.base, file.levels, false);
      platform::EntryStatus found;
      if (platform::QueryStatusAt(folder, file.name.c_str(), &found) == 0 &&
          found.kind == platform::EntryKind::kFile &&
          IsOldEnough(platform::System().CalendarTime(), SecondsOfMs(found.modifyTimeMs),
                      file.days)) {
        platform::RemoveSharedFile(folder, file.name.c_str());
      }
      continue;
    }
    if (!PathExists(path)) continue;
    if (FileStatus(path).IsFolder()) {
      if (IsFolderEmpty(path.c_str())) platform::RemoveFolder(path.c_str());
    } else {
      // A read-only file is refused here and survives.
      platform::RemoveFile(path.c_str());
    }
  }
  sources.clear();
  sharedFiles.clear();
  return true;
}

bool CleanupList::AddOldSharedFile(const std::string& path, const std::string& base,
                                   const StringList& levels, const std::string& name,
                                   std::int32_t days) {
  sharedFiles[path] = SharedFile{base, levels, name, days};
  return Add(path);
}

CleanupList& ProcessCleanupList() {
  static CleanupList list;
  return list;
}

void PurgeOldFiles(const char* path, std::int32_t days) {
  const std::int64_t now = platform::System().CalendarTime();
  const std::string pattern = PathStem(path) + "*." + PathExtension(path);
  const std::string folder = PathFolder(path);
  CleanupList& list = ProcessCleanupList();
  // ListFolderOf would list the parent of a missing folder, and so purge
  // files that were never the caller's.
  if (!FolderExists(folder)) return;
  for (const std::string& file : FindFilesInFolder(folder.c_str(), pattern)) {
    // Unreadable attributes read as all bits set, read-only included.
    if (IsReadOnly(file)) continue;
    if (IsOldEnough(now, FileStatus(file).ModifyTime(), days)) list.Add(file);
  }
}

void PurgeOldSharedFiles(const platform::SharedFolder& folder, const std::string& base,
                         const StringList& levels, const std::string& pattern, std::int32_t days) {
  const std::int64_t now = platform::System().CalendarTime();
  CleanupList& list = ProcessCleanupList();
  StringList names;
  if (!platform::ListSharedFolder(folder, &names)) return;
  std::string prefix = base;
  for (const std::string& level : levels) prefix = AddTrailingSeparator(prefix, '\\') + level;
  prefix = AddTrailingSeparator(prefix, '\\');
  // Through the library's own filter, so a long listing shows the same
  // "Extract files ..." line, step for step, and erases it, as any purge.
  // Another user may leave any number of old names here: only what this
  // process may remove is queued, and only so many, so that neither the walk
  // nor the queue grows with what others leave.
  for (const std::string& name : FilterByPattern(names, pattern)) {
    if (list.SharedFilesQueued() >= kMostSharedFilesQueued) break;
    // Links, folders and devices are never the purge's business.
    platform::EntryStatus entry;
    if (platform::QueryStatusAt(folder, name.c_str(), &entry) != 0 ||
        entry.kind != platform::EntryKind::kFile ||
        (entry.attributes & platform::kAttributeReadOnly) != 0 || !MayRemove(entry)) {
      continue;
    }
    if (IsOldEnough(now, SecondsOfMs(entry.modifyTimeMs), days)) {
      list.AddOldSharedFile(prefix + name, base, levels, name, days);
    }
  }
}

}  // namespace quill
