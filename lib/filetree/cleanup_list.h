// Deferred removal of files and folders, and the purge of old files that the
// debug dump log queues for removal at program exit.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "paths/tokenize.h"
#include "platform/shared_tree.h"

namespace quill {

// A queue of paths to remove later, each optionally copied to a destination
// first. Processed by CopyAll and RemoveAll, and at the latest on destruction.
class CleanupList {
 public:
  CleanupList() = default;
  // Runs the copy phase, then the removal phase.
  virtual ~CleanupList();
  CleanupList(const CleanupList&) = delete;
  CleanupList& operator=(const CleanupList&) = delete;

  // Queues `path` for removal (an empty path is queued and later skipped).
  // Always true.
  virtual bool Add(const std::string& path);
  virtual bool Add(const char* path);
  // Queues every path of `list`, in order. Always true.
  // Offered by design; no program calls it.
  virtual bool AddAll(StringList list);
  // Queues `source` for removal after it has been copied to `destination`.
  // Always true.
  // Offered by design; no program calls it.
  virtual bool AddWithCopy(const char* source, const char* destination);
  // Copies every queued source that has a destination and exists; a source
  // whose copy fails is taken off the queue, so it is not removed. The
  // destinations are then forgotten. Always true.
  virtual bool CopyAll();
  // Removes the queued paths in descending byte order, so that a folder's
  // queued contents go before the folder; a folder only when it is empty by
  // then, a read-only file never. The queue is empty afterwards. Always true.
  virtual bool RemoveAll();

  // Queues `path`, the file `name` of the folder `levels` below `base` in a
  // tree other users can write, for removal only if, reached again from
  // `base` without following a link when its turn comes, it is still a
  // regular file, not read-only and last modified `days` days ago or longer.
  bool AddOldSharedFile(const std::string& path, const std::string& base, const StringList& levels,
                        const std::string& name, std::int32_t days);

  // How many AddOldSharedFile has queued and not yet removed.
  std::size_t SharedFilesQueued() const { return sharedFiles.size(); }

  const StringList& Sources() const { return sources; }
  const StringList& Destinations() const { return destinations; }

 private:
  struct SharedFile {
    std::string base;
    StringList levels;
    std::string name;
    std::int32_t days = 0;
  };

  StringList sources;
  // Parallel to `sources` by index; may be shorter; empty means no copy.
  StringList destinations;
  // The queued paths that lie in a shared tree, and how to reach them again.
  std::map<std::string, SharedFile> sharedFiles;
};

// The process-wide list that PurgeOldFiles fills. Built on first use and
// processed when the program ends normally.
CleanupList& ProcessCleanupList();

// Queues on the process-wide list every file of the folder of `path` whose
// name matches stem + "*." + extension of `path`, that is not read-only and
// was last modified at least `days` days ago. Nothing is removed before the
// program ends. A folder that does not exist is left alone.
// Offered by design; no program calls it.
void PurgeOldFiles(const char* path, std::int32_t days);

// The same purge for `folder`, the folder `levels` below `base` in a tree
// other users can write, opened by the caller without following links: only
// its regular files whose names match `pattern` and that this process may
// remove are queued, each with AddOldSharedFile, under the path
// `base`\level\...\name, and no more than kMostSharedFilesQueued in all
// for the process; the rest are left to the processes after it. Like
// PurgeOldFiles, it shows an "Extract files ..." line while it filters a
// listing of ten entries or more.
constexpr std::size_t kMostSharedFilesQueued = 256;
void PurgeOldSharedFiles(const platform::SharedFolder& folder, const std::string& base,
                         const StringList& levels, const std::string& pattern, std::int32_t days);

}  // namespace quill
