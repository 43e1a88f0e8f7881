#include "report/evidence.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/reading.h"

namespace quill::report {
namespace {

// Dump files are read in pieces of this size, whatever their length.
constexpr std::size_t kReadBytes = 65536;

bool IsPlainFolder(const std::string& path) {
  platform::EntryStatus status;
  return platform::QueryStatus(RemoveTrailingSeparator(path).c_str(), platform::StatusOf::kEntry,
                               &status) == 0 &&
         status.kind == platform::EntryKind::kFolder;
}

bool Exists(const std::string& path) {
  return platform::QueryStatus(RemoveTrailingSeparator(path).c_str(), platform::StatusOf::kEntry,
                               nullptr) == 0;
}

// Counts the entries that matter of one dump file, which is opened only when
// it is a plain file with one name, so a FIFO, a device or a link planted at
// its name is never read and never blocks. False when the file held more
// than `maxBytes`, which are all that is read; the line cut there is dropped.
bool ReadEntriesOfFile(const std::string& path, const std::vector<EntryWindow>& windows,
                       std::int64_t maxBytes, std::vector<Cycle>* cycles) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
      platform::OpenPlainFileForReading(path.c_str()), std::fclose);
  if (!stream) return true;
  auto take = [&](const std::string& line) { TakeDumpLine(line, windows, cycles); };
  LineCutter cutter;
  std::vector<char> buffer(kReadBytes);
  for (std::int64_t left = maxBytes; left > 0;) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(kReadBytes, left));
    const std::size_t got = platform::ReadFileData(stream.get(), buffer.data(), piece);
    if (got == 0) {
      cutter.Finish(take);
      return true;
    }
    cutter.Feed(std::string_view(buffer.data(), got), take);
    left -= static_cast<std::int64_t>(got);
  }
  char more;
  if (platform::ReadFileData(stream.get(), &more, 1) == 1) return false;
  cutter.Finish(take);
  return true;
}

std::string LauncherProgramPath() {
  return std::string(handoff::kLauncherProgram) + platform::kProgramSuffix;
}

}  // namespace

bool ReadWorkFolder(const std::string& folder, std::vector<FileTime>* files, std::string* problem) {
  platform::EntryStatus status;
  const std::string bare = RemoveTrailingSeparator(folder);
  if (platform::QueryStatus(bare.c_str(), platform::StatusOf::kEntry, &status) != 0) {
    *problem = "cannot read the work folder " + folder;
    return false;
  }
  if (status.kind == platform::EntryKind::kLink) {
    *problem = "the work folder " + folder + " is a link; it is not followed";
    return false;
  }
  if (status.kind != platform::EntryKind::kFolder) {
    *problem = "the work folder " + folder + " is not a folder";
    return false;
  }
  std::vector<platform::FolderEntryStatus> entries;
  if (!platform::ListFolderWithStatus(bare, &entries)) {
    *problem = "cannot list the work folder " + folder;
    return false;
  }
  files->reserve(entries.size());
  for (platform::FolderEntryStatus& entry : entries) {
    if (entry.status.kind != platform::EntryKind::kFile) continue;
    files->push_back({std::move(entry.name), entry.status.modifyTimeMs, entry.status.links,
                      entry.status.ownerKnown, entry.status.owner});
  }
  return true;
}

std::string DefaultWorkFolder() {
  const std::string alternative =
      handoff::AlternativeWorkFolder(SpecialFolder(CSIDL_COMMON_DOCUMENTS), LauncherProgramPath());
  bool isUserFolder = false;
  const std::string temporary = TempFolderName(&isUserFolder);
  return ChooseWorkFolder(temporary, isUserFolder, AddTrailingSeparator(alternative, '\\'));
}

std::string ChooseWorkFolder(const std::string& temporaryFolder, bool isUserFallback,
                             const std::string& alternative) {
  const std::string underTemp = handoff::WorkFolderBelow(temporaryFolder, LauncherProgramPath());
  // Anyone may take the fallback's name first; launcher then works in the
  // alternative, and what is below that name is never read.
  const std::string bare = RemoveTrailingSeparator(temporaryFolder);
  const bool refused = isUserFallback && Exists(bare) && !platform::IsPrivateFolder(bare.c_str());
  if (!refused && IsPlainFolder(underTemp)) return underTemp;
  if (IsPlainFolder(alternative)) return alternative;
  return refused ? alternative : underTemp;
}

std::string DefaultDumpFolder() {
  return handoff::DumpFolder(SpecialFolder(CSIDL_COMMON_DOCUMENTS));
}

std::vector<std::string> ReadDumpEntries(const std::string& dumpFolder,
                                         const std::vector<std::string>& fileNames,
                                         std::vector<Cycle>* cycles, std::int64_t maxFileBytes) {
  std::vector<std::string> cut;
  if (!IsPlainFolder(dumpFolder)) return cut;
  const std::string base = AddTrailingSeparator(dumpFolder, '\\');
  const std::vector<EntryWindow> windows = EntryWindows(*cycles);
  for (const std::string& name : fileNames) {
    if (!ReadEntriesOfFile(base + name, windows, maxFileBytes, cycles)) cut.push_back(base + name);
  }
  return cut;
}

}  // namespace quill::report
