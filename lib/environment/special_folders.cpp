#include "environment/special_folders.h"

#include <initializer_list>
#include <string>

#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/environment.h"
#include "platform/services.h"

namespace quill {
namespace {

// The first of `names` whose value is set and not empty, else empty.
std::string FirstSetValue(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    std::string value = GetEnvValue(name);
    if (!value.empty()) return value;
  }
  return std::string();
}

// Service and system accounts get a temporary path inside the Windows
// installation, where ordinary users may not write; those are sent to the
// documents folder that all users share.
bool LiesInsideWindows(const std::string& path) {
  return ToLower(path).find(ToLower("Windows")) != std::string::npos;
}

// With no temporary path from the system: the environment's choice as it is,
// else a folder of the user's name under /tmp (or the current folder).
// `fromEnvironment` tells which of the two it is.
std::string FallbackTempFolderName(bool* fromEnvironment) {
  std::string folder = FirstSetValue({"TMP", "TMPDIR", "TEMP"});
  *fromEnvironment = !folder.empty();
  if (*fromEnvironment) return folder;
  std::string user = FirstSetValue({"USER", "USERNAME"});
  if (user.empty()) user = "___";
  const std::string base = FolderExists("/tmp") ? std::string("/tmp/") : CurrentFolder();
  return AddTrailingSeparator(base) + user;
}

// The system's temporary path, or a service account's replacement; empty
// when the system reports none.
std::string SystemTempFolder() {
  std::string folder = LongPathOf(platform::SystemTempPath());
  if (LiesInsideWindows(folder)) {
    folder = AddTrailingSeparator(SpecialFolder(CSIDL_COMMON_DOCUMENTS)) + "Temp";
    folder = AddTrailingSeparator(folder) + "Temp";
  }
  return folder;
}

}  // namespace

std::string SpecialFolderPath(void* owner, int folderId) {
  return platform::System().SpecialFolderPath(owner, folderId);
}

std::string SpecialFolder(int folderId) {
  return SpecialFolderPath(nullptr, folderId);
}

std::string TempFolderName(bool* isUserFolder) {
  std::string folder = SystemTempFolder();
  bool fromEnvironment = true;
  if (folder.empty()) folder = FallbackTempFolderName(&fromEnvironment);
  if (isUserFolder != nullptr) *isUserFolder = !fromEnvironment;
  return folder;
}

std::string UserName() {
  return platform::UserName();
}

}  // namespace quill
