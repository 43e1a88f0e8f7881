// File status, attribute bits and existence tests of one path, and small
// queries of the process environment.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace quill {

// The status record of one path, read once at construction. After a failed
// query every field reads as zero.
class FileStatus {
 public:
  explicit FileStatus(const char* path);
  explicit FileStatus(const std::string& path);

  // True when the status could not be read.
  virtual bool Failed() const;
  // Length in bytes (0 for a folder).
  virtual std::int64_t Size() const;
  // Seconds since 1970-01-01 00:00:00 UTC of the last access, last write and
  // creation.
  virtual std::int64_t AccessTime() const;
  virtual std::int64_t ModifyTime() const;
  virtual std::int64_t CreateTime() const;
  // The mode bits; the entry type is under platform::kModeTypeMask.
  virtual std::uint16_t Mode() const;
  // True for a regular file, for a folder.
  virtual bool IsFile() const;
  virtual bool IsFolder() const;

  // Declared after the operations so that they keep the first table slots.
  virtual ~FileStatus() = default;

  // The runtime's error number of the failed query (2: no such entry), or 0.
  int Error() const { return error_; }

 private:
  platform::EntryStatus record_;
  int error_ = 0;
};

// The attribute bits of one path, read once at construction and not
// refreshed by the operations that change them.
class FileAttributes {
 public:
  // Reads the attributes of `path` with backslashes only and without a
  // trailing separator.
  explicit FileAttributes(std::string path);

  // True when the attributes could not be read.
  virtual bool IsInvalid() const;
  // The bits as read, or platform::kInvalidAttributes.
  virtual std::uint32_t Attributes() const;
  // The normalised path when the attributes could be read, else empty.
  virtual std::string Path() const;
  // The read bits under `mask`; non-zero when any of them is set.
  virtual std::uint32_t HasAttributes(std::uint32_t mask) const;
  // Writes the read bits without, or with, `mask`; true on success.
  virtual bool ClearAttributes(std::uint32_t mask);
  virtual bool SetAttributes(std::uint32_t mask);
  // Clears the read-only, hidden and system bits where any is set.
  // Offered by design; no program calls it.
  virtual bool ClearProtection();
  // Clears `mask` when any of its bits is set; true when nothing had to be done.
  virtual bool ClearIfSet(std::uint32_t mask);

  // Declared after the operations so that they keep the first table slots.
  virtual ~FileAttributes() = default;

 private:
  std::string path_;
  std::uint32_t attributes_ = platform::kInvalidAttributes;
};

// Seconds of a time in milliseconds, rounded down (also before 1970).
std::int64_t SecondsOfMs(std::int64_t ms);

// True when `path` starts with two backslashes.
bool IsNetworkPath(const std::string& path);

// True when something of that name exists. A network path is only asked
// whether it exists at all; any other path must have a status, and with
// `rejectEmptyFile` an empty file does not count. A trailing separator is
// kept, so an existing folder written with one is not found.
bool PathExists(const char* path, bool rejectEmptyFile = false);
bool PathExists(const std::string& path, bool rejectEmptyFile = false);

// True when `path`, less one trailing separator, is a folder. For a network
// path any existing entry counts.
bool FolderExists(const char* path);
bool FolderExists(const std::string& path);

// The value of an environment variable; empty when it is not set.
std::string GetEnvValue(const std::string& name);

// The process's current folder, or empty when it cannot be read.
std::string CurrentFolder();

// The long form of `path`, or `path` unchanged when there is none.
std::string LongPathOf(const std::string& path);

}  // namespace quill
