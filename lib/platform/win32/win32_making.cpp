// What makes or writes on Windows: folders, empty files, private folders and
// the appending of dump records. Kept apart from the read-only calls, so a
// program that only reads links none of it.
#include <direct.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/win32/handle_checks.h"

namespace quill::platform {
namespace {

// AppendRecord asks for the record lock a hundred times a second.
constexpr std::uint32_t kLockPauseMs = 10;

// Makes the folder `level` when it is missing. True when it then is a real
// folder: a junction or symbolic link there could lead anywhere. One made by
// another process in the meantime counts as made.
bool MakeRealFolderLevel(const std::string& level) {
  DWORD attributes = GetFileAttributesA(level.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    CreateDirectoryA(level.c_str(), nullptr);
    attributes = GetFileAttributesA(level.c_str());
  }
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// How many levels of `name` (separators already backslashes) can only be
// reached: a server and its share (`\\server\share`), the long form's prefix
// and drive (`\\?\C:`), or its prefix, `UNC`, server and share; none for
// any other path, whose drive the caller knows by its colon.
int ReachedOnlyLevels(const std::string& name) {
  if (name.compare(0, 2, "\\\\") != 0) return 0;
  const bool longForm = name.compare(0, 4, "\\\\?\\") == 0 || name.compare(0, 4, "\\\\.\\") == 0;
  return longForm && _strnicmp(name.c_str() + 4, "UNC\\", 4) == 0 ? 4 : 2;
}

}  // namespace

bool MakeDirectory(const char* path) {
  return _mkdir(win32::Text(path)) == 0;
}

bool CreateEmptyFileAt(const char* path) {
  // As `_creat` does, but the file is truncated only once the handle shows a
  // plain file with no second name: a link planted at the name is left alone.
  const HANDLE file = win32::OpenPlainFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool truncated = win32::Truncate(file);
  return CloseHandle(file) && truncated;
}

// Folders here inherit the permissions of the folder they are made in. The
// missing levels are made from the outermost inwards, as a folder tree is;
// a drive, a server or a share can only be reached. A level that is a
// junction or symbolic link refuses the folder, made or found.
bool MakePrivateFolder(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  std::string name(path);
  for (char& c : name) c = c == '/' ? '\\' : c;
  while (name.size() > 1 && name.back() == '\\') name.pop_back();
  const int reached = ReachedOnlyLevels(name);
  int levels = 0;
  for (std::size_t end = name.find('\\', reached > 0 ? 2 : 0); end != std::string::npos;
       end = name.find('\\', end + 1)) {
    const std::string level = name.substr(0, end);
    // Counted first: a drive of the long form is one of its reached levels.
    const bool counted = ++levels <= reached;
    const bool reachedOnly =
        counted || level.empty() || level.back() == '\\' || level.back() == ':';
    if (!reachedOnly && !MakeRealFolderLevel(level)) return false;
  }
  return MakeRealFolderLevel(name);
}

bool AppendRecord(std::FILE* stream, std::string (*header)(), std::string_view bytes) {
  if (stream == nullptr) return false;
  // The record goes straight to the handle: nothing of it may stay in the
  // runtime's buffer, to be written after a cut record was taken back.
  std::fflush(stream);
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (file == INVALID_HANDLE_VALUE) return false;
  // A seek to the end and a write, which another process could come between;
  // the lock of the whole file keeps every record of every writer in one
  // piece. Anyone who may open the file can take that lock and keep it, so
  // it is asked for briefly, never waited out.
  bool locked = false;
  const std::uint32_t start = System().TickCount();
  for (;;) {
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &whole)) {
      locked = true;
      break;
    }
    if (System().TickCount() - start >= kRecordLockWaitMs) break;
    System().Sleep(kLockPauseMs);
  }
  const auto unlock = [file, locked] {
    OVERLAPPED whole{};
    if (locked) UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  };
  if (!win32::IsSinglePlainFile(file)) {
    unlock();
    return false;
  }
  // Decided under the lock when it was had, so only one writer ever finds
  // the file empty. The end is found by moving there, which needs no read
  // access.
  LARGE_INTEGER end{};
  const LARGE_INTEGER none{};
  const bool atEnd = SetFilePointerEx(file, none, &end, FILE_END) != 0;
  std::string record;
  if ((!atEnd || end.QuadPart == 0) && header != nullptr) record = header();
  record.append(bytes);
  if (!locked) {
    // The offset of all ones writes at the end of the file as it is then, in
    // one call, so another writer's record cannot come between; without the
    // lock nothing is taken back.
    OVERLAPPED atTheEnd{};
    atTheEnd.Offset = MAXDWORD;
    atTheEnd.OffsetHigh = MAXDWORD;
    DWORD done = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &done, &atTheEnd);
    return true;
  }
  DWORD done = 0;
  const bool whole =
      WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &done, nullptr) &&
      done == record.size();
  if (!whole && atEnd) {
    // A full disk cut the record short: it is taken off again before anyone
    // else may append, so the next record starts a line of its own.
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
  }
  unlock();
  return true;
}

}  // namespace quill::platform
