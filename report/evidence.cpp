#include "report/evidence.h"

#include <cstdio>
#include <memory>
#include <string_view>

#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "platform/files.h"

namespace quill::report {
namespace {

// Dump files are read in pieces of this size, whatever their length.
constexpr std::size_t kReadBytes = 65536;

bool IsPlainFolder(const std::string& path) {
  platform::EntryStatus status;
  return platform::ReadEntryStatus(RemoveTrailingSeparator(path).c_str(), &status) &&
         status.kind == platform::EntryKind::kFolder;
}

bool Exists(const std::string& path) {
  platform::EntryStatus status;
  return platform::ReadEntryStatus(RemoveTrailingSeparator(path).c_str(), &status);
}

// Adds the entries that matter of one dump file, which is opened only when
// it is a plain file with one name, so a FIFO, a device or a link planted at
// its name is never read and never blocks.
void ReadEntriesOfFile(const std::string& path, const std::vector<EntryWindow>& windows,
                       std::vector<DumpEntry>* entries) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
      platform::OpenPlainFileForReading(path.c_str()), std::fclose);
  if (!stream) return;
  auto take = [&](const std::string& line) {
    DumpEntry entry;
    if (ParseEntryThatMatters(line, windows, &entry)) {
      entries->push_back(std::move(entry));
    }
  };
  LineCutter cutter;
  std::vector<char> buffer(kReadBytes);
  std::size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), stream.get())) > 0) {
    cutter.Feed(std::string_view(buffer.data(), got), take);
  }
  cutter.Finish(take);
}

std::string LauncherProgramPath() {
  return std::string("launcher") + platform::kProgramSuffix;
}

}  // namespace

bool ReadWorkFolder(const std::string& folder, std::vector<FileTime>* files, std::string* problem) {
  platform::EntryStatus status;
  const std::string bare = RemoveTrailingSeparator(folder);
  if (!platform::ReadEntryStatus(bare.c_str(), &status)) {
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
    files->push_back({std::move(entry.name), entry.status.modifyTimeMs});
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

std::vector<DumpEntry> ReadDumpEntries(const std::string& dumpFolder,
                                       const std::vector<std::string>& fileNames,
                                       const std::vector<EntryWindow>& windows) {
  std::vector<DumpEntry> entries;
  if (!IsPlainFolder(dumpFolder)) return entries;
  const std::string base = AddTrailingSeparator(dumpFolder, '\\');
  for (const std::string& name : fileNames) ReadEntriesOfFile(base + name, windows, &entries);
  return entries;
}

}  // namespace quill::report
