#include "environment/dump_log.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "environment/directory_tree.h"
#include "environment/dump_line.h"
#include "environment/handoff_names.h"
#include "environment/open_retry.h"
#include "environment/special_folders.h"
#include "environment/temp_folder.h"
#include "environment/time_format.h"
#include "filetree/cleanup_list.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/shared_tree.h"

namespace quill {
namespace {

constexpr std::int32_t kOpenSeconds = 10;
constexpr std::int32_t kPurgeDays = 10;

// Set while a record is written. Creating the dump folder can fail and report
// that as an entry of its own, which would come back here for the same folder.
bool recordInProgress = false;

class RecordInProgress {
 public:
  RecordInProgress() { recordInProgress = true; }
  ~RecordInProgress() { recordInProgress = false; }
  RecordInProgress(const RecordInProgress&) = delete;
  RecordInProgress& operator=(const RecordInProgress&) = delete;
};

struct StreamCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

// The dump folder WZ as last walked, and the base it was walked from. The
// old files are queued for deletion by the first record, and again whenever
// the base differs from the one last walked, which only tests make happen.
struct WalkedDumpFolder {
  std::string base;
  bool purged = false;
  platform::SharedFolder folder;
  platform::FileIdentity identity;
};

WalkedDumpFolder& DumpFolder() {
  static WalkedDumpFolder walked;
  return walked;
}

// Each value is asked for in its own statement, so the calls run in the order
// the header lists them.
std::string HeaderLine() {
  StringList values;
  values.push_back(UserName());
  // A folder of the user's name that was refused is still the one this
  // process would have used, and the one to look at.
  const std::string temporary = TempFolder();
  values.push_back(temporary.empty() ? TempFolderName() : temporary);
  values.push_back(CurrentFolder());
  values.push_back(ModulePath());
  return dumpline::HeaderLine(FormatLocalTime(dumpline::kStampFormat), values);
}

// Walks to the dump folder WZ from `base`, making the levels that are
// missing, and queues the old files of DbgDump and WZ when `purge` is set.
void WalkDumpFolder(const std::string& base, bool purge, WalkedDumpFolder* walked) {
  StringList levels = handoff::DumpParentLevels();
  platform::SharedFolder folder = OpenSharedTree(base, levels, true);
  if (purge) PurgeOldSharedFiles(folder, base, levels, handoff::kHourFilePattern, kPurgeDays);
  levels.push_back(handoff::kDumpFileLevel);
  if (folder.IsOpen()) folder = OpenSharedTree(base, levels, true);
  if (purge) PurgeOldSharedFiles(folder, base, levels, handoff::kHourFilePattern, kPurgeDays);
  walked->base = base;
  walked->purged = true;
  walked->identity = platform::IdentityOf(folder);
  walked->folder = std::move(folder);
}

}  // namespace

bool WriteDumpEntry(const std::string& text) {
  const std::string program = PathLeaf(ModulePath());
  const std::string stamp = FormatLocalTime(dumpline::kStampFormat);
  return WriteDumpRecord(dumpline::EntryLine(stamp, program, text));
}

bool WriteDumpEntry(const char* text) {
  WriteDumpEntry(std::string(text != nullptr ? text : ""));
  return true;
}

bool WriteDumpRecord(std::string bytes) {
  if (recordInProgress) return false;
  const RecordInProgress guard;

  const std::string name = handoff::HourFileName(platform::System().CalendarTime());
  // Every level is reached from the one above it without following a link,
  // and held open while it is used: another user can plant names in this tree.
  // The walk is kept for later records as long as its path still leads to
  // the folder held, which costs one status query instead of four opens.
  const std::string base = SpecialFolder(CSIDL_COMMON_DOCUMENTS);
  WalkedDumpFolder& walked = DumpFolder();
  const bool purge = !walked.purged || walked.base != base;
  if (purge || !walked.folder.IsOpen() ||
      !(platform::IdentityOfPath(walked.folder.Path()) == walked.identity)) {
    WalkDumpFolder(base, purge, &walked);
  }

  // Every failed open is tried again, the walk too when a level could not be
  // reached, but for a link, a FIFO or a second name of another file planted
  // at the hour's name: those drop the record at once, since the open would
  // write through them or wait for ever.
  const Stream file(OpenWithRetry(
      [&](bool* refused) {
        if (!walked.folder.IsOpen()) WalkDumpFolder(base, false, &walked);
        return platform::OpenSharedFile(walked.folder, name.c_str(), refused);
      },
      kOpenSeconds));
  if (!file) return false;
  return platform::AppendRecord(file.get(), HeaderLine, bytes);
}

}  // namespace quill
