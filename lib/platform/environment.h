// The process environment: the program's own path, the current folder,
// environment variables, the temporary and special folders, the user's name
// and private folders, and which system this is.
#pragma once

#include <string>

namespace quill::platform {

// The shell's folder identifiers (its CSIDL values) that the programs ask
// for, the mask that takes an identifier out of a value with flags, and the
// flag that asks for a missing folder to be made.
enum class ShellFolder : int {
  kWindows = 0x24,
  kSystem = 0x25,
  kProgramFiles = 0x26,
  kCommonDocuments = 0x2E,
};
constexpr int kShellFolderMask = 0xFF;
constexpr int kShellFolderCreate = 0x8000;
constexpr int ShellFolderId(ShellFolder folder) {
  return static_cast<int>(folder);
}

// `GetModuleFileNameA` for the running program into a 260-byte buffer:
// the full path of the executable (cut to 259 bytes), or empty.
std::string ModuleFileName();
// `GetCurrentDirectoryA` with 260 bytes: empty when it fails or does not fit.
std::string CurrentDirectory();
// `GetLongPathNameA` with 260 bytes: the long form, or `path` unchanged when
// the call fails or the long form does not fit.
std::string LongPathName(const std::string& path);
// The C runtime's `getenv`: the value, or empty when unset.
std::string EnvironmentValue(const char* name);
// Sets (or, with null `value`, removes) an environment variable of this
// process, seen by the C runtime, the system and started programs.
bool SetEnvironmentValue(const char* name, const char* value);
// `GetTempPathA` with 260 bytes: the system's temporary path, or empty.
std::string SystemTempPath();
// `SHGetSpecialFolderPathA` bound by name at run time, with the item
// identifier fallback: the folder's path, or empty. `owner` is a window
// handle or null.
std::string SpecialFolderPath(void* owner, int folderId);
// `GetUserNameA` with 257 bytes: the user's name, or empty.
std::string UserName();
// Makes sure `path` is a folder that only this user can change: creates it
// when missing (POSIX: mode 0700 whatever the umask) and accepts it only when
// it is a real folder, not a link or junction, and on POSIX owned by the
// effective user and writable by nobody else. False when it is refused.
bool MakePrivateFolder(const char* path);
// True when `path` is a real folder (no link or junction), on POSIX owned by
// the effective user and writable by nobody else; nothing is created.
bool IsPrivateFolder(const char* path);
// True when this process may remove any user's file (POSIX: root). Windows
// leaves that to each folder's permissions: false.
bool IsSuperUser();

#ifdef _WIN32
inline constexpr bool kWindows = true;
// The file-name suffix of programs, and the extension that a program search
// compares with to allow the system folders.
inline constexpr char kProgramSuffix[] = ".exe";
inline constexpr char kProgramExtension[] = "exe";
#else
inline constexpr bool kWindows = false;
inline constexpr char kProgramSuffix[] = "";
inline constexpr char kProgramExtension[] = "";
#endif

}  // namespace quill::platform
