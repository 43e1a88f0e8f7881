#include "paths/file_status.h"

#include <utility>

#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/environment.h"

namespace quill {
namespace {}  // namespace

std::int64_t SecondsOfMs(std::int64_t ms) {
  return ms >= 0 ? ms / 1000 : -((999 - ms) / 1000);
}

FileStatus::FileStatus(const char* path) {
  error_ = platform::QueryStatus(path != nullptr ? path : "", platform::StatusOf::kPath, &record_);
  // A failed query reads as all zeros, whatever the platform left behind.
  if (error_ != 0) record_ = platform::EntryStatus{};
}

FileStatus::FileStatus(const std::string& path) : FileStatus(path.c_str()) {}

bool FileStatus::Failed() const {
  return error_ != 0;
}
std::int64_t FileStatus::Size() const {
  return record_.size;
}
std::int64_t FileStatus::AccessTime() const {
  return SecondsOfMs(record_.accessTimeMs);
}
std::int64_t FileStatus::ModifyTime() const {
  return SecondsOfMs(record_.modifyTimeMs);
}
std::int64_t FileStatus::CreateTime() const {
  return SecondsOfMs(record_.createTimeMs);
}
std::uint16_t FileStatus::Mode() const {
  if (record_.kind == platform::EntryKind::kNone) return 0;
  return IsFolder() ? platform::kModeFolder : platform::kModeFile;
}
// Anything with a status but a folder counts as a file, as the C runtime's
// mode has it.
bool FileStatus::IsFile() const {
  return record_.kind != platform::EntryKind::kNone && !IsFolder();
}
bool FileStatus::IsFolder() const {
  return record_.kind == platform::EntryKind::kFolder;
}

FileAttributes::FileAttributes(std::string path) {
  std::string canonical = RemoveTrailingSeparator(NormalizeSeparators(path, '\\'));
  platform::EntryStatus status;
  if (platform::QueryStatus(canonical.c_str(), platform::StatusOf::kAnyName, &status) == 0) {
    attributes_ = status.attributes;
    path_ = std::move(canonical);
  }
}

bool FileAttributes::IsInvalid() const {
  return attributes_ == platform::kInvalidAttributes;
}
std::uint32_t FileAttributes::Attributes() const {
  return attributes_;
}
std::string FileAttributes::Path() const {
  return path_;
}

std::uint32_t FileAttributes::HasAttributes(std::uint32_t mask) const {
  return attributes_ & mask;
}

bool FileAttributes::ClearAttributes(std::uint32_t mask) {
  return platform::SetAttributes(path_.c_str(), attributes_ & ~mask);
}

bool FileAttributes::SetAttributes(std::uint32_t mask) {
  return platform::SetAttributes(path_.c_str(), attributes_ | mask);
}

bool FileAttributes::ClearProtection() {
  return ClearIfSet(platform::kAttributeReadOnly | platform::kAttributeHidden |
                    platform::kAttributeSystem);
}

bool FileAttributes::ClearIfSet(std::uint32_t mask) {
  return HasAttributes(mask) != 0 ? ClearAttributes(mask) : true;
}

bool IsNetworkPath(const std::string& path) {
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

bool PathExists(const std::string& path, bool rejectEmptyFile) {
  if (IsNetworkPath(path)) {
    return platform::QueryStatus(path.c_str(), platform::StatusOf::kAnyName, nullptr) == 0;
  }
  // Any entry with a status counts unless empty files are rejected; then the
  // status itself must be read.
  if (!rejectEmptyFile) {
    return platform::QueryStatus(path.c_str(), platform::StatusOf::kPath, nullptr) == 0;
  }
  const FileStatus status(path);
  return !status.Failed() && (status.Size() > 0 || status.IsFolder());
}

bool PathExists(const char* path, bool rejectEmptyFile) {
  return PathExists(std::string(path != nullptr ? path : ""), rejectEmptyFile);
}

bool FolderExists(const std::string& path) {
  const std::string folder = RemoveTrailingSeparator(path);
  if (IsNetworkPath(folder)) {
    return platform::QueryStatus(folder.c_str(), platform::StatusOf::kAnyName, nullptr) == 0;
  }
  const FileStatus status(folder);
  return !status.Failed() && status.IsFolder();
}

bool FolderExists(const char* path) {
  return FolderExists(std::string(path != nullptr ? path : ""));
}

std::string GetEnvValue(const std::string& name) {
  return platform::EnvironmentValue(name.c_str());
}

std::string CurrentFolder() {
  return platform::CurrentDirectory();
}

std::string LongPathOf(const std::string& path) {
  return platform::LongPathName(path);
}

}  // namespace quill
