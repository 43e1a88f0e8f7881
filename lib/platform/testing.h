// Test machinery of the platform layer, in a library that only the test
// binaries and benchmarks link: holding files from writers, planting
// links, a second user, a blocked signal, running a program to its end, the
// faults of shared-file opens, and special folders placed elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/environment.h"
#include "platform/fault_points.h"
#include "platform/services.h"

namespace quill::platform {

// How HoldFileFromWriters keeps writers out.
enum class HoldKind {
  kOpen,        // Windows: open without sharing; POSIX: the write bits off
  kRecordLock,  // a shared open with the record lock taken
};

// Keeps `path` unavailable to other writers for `milliseconds` of real time,
// then releases it: with kOpen on Windows it is held open without sharing, on
// POSIX its owner's write permission is taken away (which does not stop
// root); with kRecordLock the lock that AppendRecord takes is held. False
// when the file could not be taken.
bool HoldFileFromWriters(const char* path, std::uint32_t milliseconds,
                         HoldKind kind = HoldKind::kOpen);

// Makes `link` a symbolic link to `target` (a folder link when `folder`),
// for tests of planted links. False when this system cannot.
bool MakeLinkForTesting(const std::string& target, const std::string& link, bool folder);

// Sets this process's file creation mask (umask) and answers the one before;
// on Windows nothing is done and 0 is answered.
std::uint32_t SetFileCreationMaskForTesting(std::uint32_t mask);

// Switches this process, for good, to the user and group `id` (a test's
// second user). False where that is not possible: not root, or Windows.
bool BecomeUserForTesting(std::uint32_t id);

// Blocks (or unblocks) the interrupt signal in the calling thread, as a
// parent that starts the programs may have; programs started meanwhile must
// not inherit it. False on Windows, which has no signal mask.
bool BlockInterruptForTesting(bool block);

// Starts `program` with `parameters` split into arguments as the Windows C
// runtime splits a command line, waits for it to end and returns its exit
// status; -1 when it could not be started. When `errorFile` is given, the
// program's standard error stream goes to that file.
// When `outputFile` is given, its standard output stream goes to that file.
int RunAndWait(const std::string& program, const std::string& parameters,
               const std::string& errorFile = std::string(),
               const std::string& outputFile = std::string());

// Keeps the file `path` mapped into memory for the lifetime of this object,
// as another process that maps a file does; Windows then refuses to cut it.
// POSIX cuts a mapped file all the same: nothing is mapped there, and
// Mapped() is false.
class FileMappedForTesting {
 public:
  explicit FileMappedForTesting(const char* path);
  ~FileMappedForTesting();
  FileMappedForTesting(const FileMappedForTesting&) = delete;
  FileMappedForTesting& operator=(const FileMappedForTesting&) = delete;
  bool Mapped() const { return view_ != nullptr; }

 private:
  std::intptr_t file_ = -1;
  std::intptr_t mapping_ = -1;
  void* view_ = nullptr;
};

// Sets the size of the file at `path`, leaving a hole where the system can:
// a file of several GiB costs no disk. True when it is set.
bool SetFileSizeForTesting(const char* path, std::int64_t size);

// Closes this process's standard input for the lifetime of this object, so
// that the next open gets descriptor 0. Windows handles have no such number:
// there nothing is closed, and Closed() is false.
class StandardInputClosedForTesting {
 public:
  StandardInputClosedForTesting();
  ~StandardInputClosedForTesting();
  StandardInputClosedForTesting(const StandardInputClosedForTesting&) = delete;
  StandardInputClosedForTesting& operator=(const StandardInputClosedForTesting&) = delete;
  bool Closed() const { return saved_ >= 0; }

 private:
  int saved_ = -1;
};

// The id of this process, as the programs name files after it.
std::uint32_t ProcessIdForTesting();

// What the shared-file opens meet, in place until the next call; a
// default-made value puts the real behaviour back.
using SharedFileSeams = internal::SharedFileFaults;
void SetSharedFileSeamsForTesting(const SharedFileSeams& seams);

// For the lifetime of this object the special folder `folderId` is `path`;
// everything else is asked of the services that were in force before.
class ScopedSpecialFolder final : public ForwardingServices {
 public:
  ScopedSpecialFolder(int folderId, std::string path);
  ScopedSpecialFolder(const ScopedSpecialFolder&) = delete;
  ScopedSpecialFolder& operator=(const ScopedSpecialFolder&) = delete;

  std::string SpecialFolderPath(void* owner, int folderId) override;

 private:
  int folderId_;
  std::string path_;
  ScopedServices scope_;
};

// The shared documents folder, below which the dump folder and the launcher's
// alternative work folder go, placed at `path` for this object's lifetime.
class ScopedSharedDocuments final {
 public:
  explicit ScopedSharedDocuments(std::string path) : folder_(kSharedDocuments, std::move(path)) {}

 private:
  static constexpr int kSharedDocuments = ShellFolderId(ShellFolder::kCommonDocuments);
  ScopedSpecialFolder folder_;
};

}  // namespace quill::platform
