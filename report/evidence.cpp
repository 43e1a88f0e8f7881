#include "report/evidence.h"

#include <cstdio>
#include <memory>

#include "environment/special_folders.h"
#include "launcher/cycles.h"
#include "paths/path_strings.h"
#include "platform/platform.h"

namespace quill::report {
namespace {

bool IsPlainFolder(const std::string& path) {
  platform::EntryStatus status;
  return platform::ReadEntryStatus(RemoveTrailingSeparator(path).c_str(), &status) &&
         status.kind == platform::EntryKind::kFolder;
}

// The whole content of a plain file; empty when it is anything else.
std::string ReadPlainFile(const std::string& path) {
  platform::EntryStatus status;
  if (!platform::ReadEntryStatus(path.c_str(), &status) ||
      status.kind != platform::EntryKind::kFile) {
    return std::string();
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(platform::OpenStream(path.c_str(), "rb"),
                                                         std::fclose);
  if (!stream) return std::string();
  std::string content;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream.get())) > 0) {
    content.append(buffer, got);
  }
  return content;
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
  const std::string underTemp = WorkFolderBelow(TempFolderName(), LauncherProgramPath());
  if (IsPlainFolder(underTemp)) return underTemp;
  std::string shared = SpecialFolder(CSIDL_COMMON_DOCUMENTS);
  for (const char* name : {"Temp", "Temp"}) shared = AddTrailingSeparator(shared, '\\') + name;
  const std::string alternative = WorkFolderBelow(shared, LauncherProgramPath());
  return IsPlainFolder(alternative) ? alternative : underTemp;
}

std::string DefaultDumpFolder() {
  std::string folder = SpecialFolder(CSIDL_COMMON_DOCUMENTS);
  for (const char* name : {"Temp", "Temp", "DbgDump", "WZ"}) {
    folder = AddTrailingSeparator(folder, '\\') + name;
  }
  return AddTrailingSeparator(folder, '\\');
}

std::vector<DumpEntry> ReadDumpEntries(const std::string& dumpFolder,
                                       const std::vector<std::string>& fileNames) {
  std::vector<DumpEntry> entries;
  if (!IsPlainFolder(dumpFolder)) return entries;
  const std::string base = AddTrailingSeparator(dumpFolder, '\\');
  for (const std::string& name : fileNames) {
    std::vector<DumpEntry> found = ParseDumpText(ReadPlainFile(base + name));
    entries.insert(entries.end(), std::make_move_iterator(found.begin()),
                   std::make_move_iterator(found.end()));
  }
  return entries;
}

}  // namespace quill::report
