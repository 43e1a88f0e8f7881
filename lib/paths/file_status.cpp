#include "paths/file_status.h"

#include <utility>

#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/environment.h"

namespace quill {
namespace {

bool ModeTypeIs(std::uint16_t mode, std::uint16_t type) {
  return (mode & platform::kModeTypeMask) == type;
}

}  // namespace

FileStatus::FileStatus(const char* path) {
  error_ = platform::StatPath(path != nullptr ? path : "", &record_);
  // A failed query reads as all zeros, whatever the platform left behind.
  if (error_ != 0) record_ = platform::StatRecord{};
}

FileStatus::FileStatus(const std::string& path) : FileStatus(path.c_str()) {}

bool FileStatus::Failed() const {
  return error_ != 0;
}
std::int64_t FileStatus::Size() const {
  return record_.size;
}
std::int64_t FileStatus::AccessTime() const {
  return record_.accessTime;
}
std::int64_t FileStatus::ModifyTime() const {
  return record_.modifyTime;
}
std::int64_t FileStatus::CreateTime() const {
  return record_.createTime;
}
std::uint16_t FileStatus::Mode() const {
  return record_.mode;
}
bool FileStatus::IsFile() const {
  return ModeTypeIs(record_.mode, platform::kModeFile);
}
bool FileStatus::IsFolder() const {
  return ModeTypeIs(record_.mode, platform::kModeFolder);
}

FileAttributes::FileAttributes(std::string path) {
  std::string canonical = RemoveTrailingSeparator(NormalizeSeparators(path, '\\'));
  attributes_ = platform::GetAttributes(canonical.c_str());
  if (attributes_ != platform::kInvalidAttributes) path_ = std::move(canonical);
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
  if (IsNetworkPath(path)) return platform::AccessExists(path.c_str());
  // Any entry with a status counts unless empty files are rejected; then the
  // status itself must be read.
  if (!rejectEmptyFile) return platform::HasStatus(path.c_str());
  const FileStatus status(path);
  if (status.Failed()) return false;
  if (status.Size() > 0 || status.IsFolder()) return true;
  return !rejectEmptyFile;
}

bool PathExists(const char* path, bool rejectEmptyFile) {
  return PathExists(std::string(path != nullptr ? path : ""), rejectEmptyFile);
}

bool FolderExists(const std::string& path) {
  const std::string folder = RemoveTrailingSeparator(path);
  if (IsNetworkPath(folder)) return platform::AccessExists(folder.c_str());
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
