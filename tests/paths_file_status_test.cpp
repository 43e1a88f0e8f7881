#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/testing.h"
#include "support/current_folder.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

// The root of the system drive in this system's spelling.
const char* Root() {
  return platform::kWindows ? "C:\\" : "/";
}

// `path` written as a network path. Windows takes the `\\?\` prefix; POSIX
// takes a leading `//` as the root.
std::string AsNetworkPath(const std::string& path) {
  const std::string normal = NormalizeSeparators(path);
  return platform::kWindows ? "\\\\?\\" + normal : "\\" + normal;
}

TEST(FileStatus, MissingPathsAndRefusedNames) {
  ScratchFolder scratch;
  scratch.WriteFile("ab.txt", "x");
  for (const std::string& path :
       {scratch.Join("missing.txt"), scratch.Join("a?.txt"), scratch.Join("a*.txt"),
        scratch.Join("ab.txt") + "\\", std::string()}) {
    const FileStatus status(path);
    EXPECT_TRUE(status.Failed()) << path;
    EXPECT_EQ(status.Error(), 2) << path;
    EXPECT_EQ(status.Size(), 0) << path;
    EXPECT_EQ(status.Mode(), 0) << path;
    EXPECT_EQ(status.ModifyTime(), 0) << path;
    EXPECT_FALSE(status.IsFile()) << path;
    EXPECT_FALSE(status.IsFolder()) << path;
  }
  const FileStatus null(static_cast<const char*>(nullptr));
  EXPECT_TRUE(null.Failed());
}

TEST(FileStatus, FilesAndFolders) {
  ScratchFolder scratch;
  const FileStatus file(scratch.WriteFile("five.txt", "12345"));
  EXPECT_FALSE(file.Failed());
  EXPECT_EQ(file.Error(), 0);
  EXPECT_TRUE(file.IsFile());
  EXPECT_FALSE(file.IsFolder());
  EXPECT_EQ(file.Mode() & platform::kModeTypeMask, platform::kModeFile);
  EXPECT_EQ(file.Size(), 5);
  EXPECT_GT(file.ModifyTime(), 0);
  EXPECT_GT(file.AccessTime(), 0);
  EXPECT_GT(file.CreateTime(), 0);

  const FileStatus folder(scratch.MakeFolder("sub"));
  EXPECT_FALSE(folder.Failed());
  EXPECT_TRUE(folder.IsFolder());
  EXPECT_FALSE(folder.IsFile());
  EXPECT_EQ(folder.Size(), 0);

  const FileStatus root(Root());
  EXPECT_FALSE(root.Failed());
  EXPECT_TRUE(root.IsFolder());
}

// Sizes past 4 GiB, as the status and a folder listing give them.
TEST(FileStatus, SizesPastFourGiB) {
  ScratchFolder scratch;
  const std::string path = scratch.WriteFile("big.bin");
  const std::int64_t size = (std::int64_t{1} << 32) * 3 + 5;
  if (!platform::SetFileSizeForTesting(path.c_str(), size)) GTEST_SKIP() << "no such file here";
  EXPECT_EQ(FileStatus(path).Size(), size);
  std::vector<platform::FolderEntryStatus> entries;
  ASSERT_TRUE(platform::ListFolderWithStatus(scratch.Path(), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].status.size, size);
  fs::remove(path);
}

TEST(FileStatus, TimesAfter2038) {
  ScratchFolder scratch;
  const std::string path = scratch.WriteFile("late.txt", "x");
  // 2040-01-01 00:00:00 UTC, set relative to now so no clock conversion is needed.
  const std::int64_t target = 2'208'988'800;
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  std::error_code error;
  fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(target - now),
                      error);
  if (error) GTEST_SKIP() << "cannot set a file time here: " << error.message();
  const FileStatus status(path);
  ASSERT_FALSE(status.Failed());
  EXPECT_GT(status.ModifyTime(), std::int64_t{std::numeric_limits<std::int32_t>::max()});
  EXPECT_NEAR(static_cast<double>(status.ModifyTime()), static_cast<double>(target), 60.0);
}

// Times round down to the second, before 1970 too, however close the next
// second is.
TEST(FileStatus, TimesRoundDownToTheSecond) {
  using std::chrono::nanoseconds;
  ScratchFolder scratch;
  const std::string path = scratch.WriteFile("t.txt");
  // The file clock's seconds are the Unix ones, moved by whole seconds.
  const auto second = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(path));
  fs::last_write_time(path, second);
  const auto epoch = second - std::chrono::seconds(FileStatus(path).ModifyTime());
  for (const auto& [offset, seconds] :
       {std::pair{nanoseconds(999'999'900), 0}, std::pair{nanoseconds(-1'000'000), -1},
        std::pair{nanoseconds(-1'000'000'000), -1}, std::pair{nanoseconds(-1'001'000'000), -2}}) {
    const auto asked = epoch + std::chrono::duration_cast<fs::file_time_type::duration>(offset);
    std::error_code error;
    fs::last_write_time(path, asked, error);
    // Not where the file system, or the runtime's setter, cannot keep it.
    if (error || fs::last_write_time(path) != asked) continue;
    EXPECT_EQ(FileStatus(path).ModifyTime(), seconds) << offset.count();
  }
}

TEST(FileStatus, PathExists) {
  ScratchFolder scratch;
  const std::string empty = scratch.WriteFile("empty.txt");
  const std::string full = scratch.WriteFile("full.txt", "12345");
  const std::string folder = scratch.MakeFolder("folder");

  EXPECT_TRUE(PathExists(empty));
  EXPECT_FALSE(PathExists(empty, true));
  EXPECT_TRUE(PathExists(full));
  EXPECT_TRUE(PathExists(full, true));
  EXPECT_TRUE(PathExists(folder));
  EXPECT_TRUE(PathExists(folder, true));
  EXPECT_TRUE(PathExists(folder.c_str()));
  EXPECT_FALSE(PathExists(scratch.Join("missing.txt")));
  EXPECT_FALSE(PathExists(scratch.Join("missing.txt"), true));
  EXPECT_FALSE(PathExists(""));
  EXPECT_FALSE(PathExists(static_cast<const char*>(nullptr)));
  // Wildcards are names, not patterns.
  EXPECT_FALSE(PathExists(scratch.Join("*.txt")));
  EXPECT_FALSE(PathExists(scratch.Join("full.tx?")));
  // The trailing separator is kept, and only a root takes one.
  EXPECT_FALSE(PathExists(folder + "\\"));
  EXPECT_FALSE(PathExists(folder + "/"));
  EXPECT_TRUE(PathExists(Root()));
  if (!platform::kWindows) {  // longer than any fixed buffer; Windows names stop at 260
    const std::string deep = scratch.MakeFolder(
        std::string(200, 'a') + "/" + std::string(200, 'b') + "/" + std::string(200, 'c'));
    EXPECT_TRUE(PathExists(deep));
    // Exactly the size of the buffer that shorter names are spelled into.
    EXPECT_FALSE(PathExists(scratch.Path() + "/" + std::string(511 - scratch.Path().size(), 'x')));
  }

  // A network path is only asked whether it exists: an empty file counts.
  EXPECT_TRUE(IsNetworkPath("\\\\server"));
  EXPECT_FALSE(IsNetworkPath("\\"));
  EXPECT_FALSE(IsNetworkPath("/\\server"));
  EXPECT_FALSE(PathExists("\\\\nonexistent-server\\share\\x"));
  EXPECT_TRUE(PathExists(AsNetworkPath(empty), true)) << AsNetworkPath(empty);
}

TEST(FileStatus, FolderExists) {
  ScratchFolder scratch;
  const std::string file = scratch.WriteFile("file.txt", "x");
  const std::string folder = scratch.MakeFolder("folder");

  EXPECT_TRUE(FolderExists(folder));
  EXPECT_TRUE(FolderExists(folder + "\\"));
  EXPECT_TRUE(FolderExists((folder + "/").c_str()));
  EXPECT_FALSE(FolderExists(folder + "\\\\"));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_FALSE(FolderExists(scratch.Join("missing")));
  EXPECT_FALSE(FolderExists(""));
  EXPECT_FALSE(FolderExists(static_cast<const char*>(nullptr)));
  // The root loses its separator and the rest has no status.
  EXPECT_FALSE(FolderExists(Root()));
  // A network path does not tell a file from a folder.
  EXPECT_TRUE(FolderExists(AsNetworkPath(file)));
  EXPECT_FALSE(FolderExists("\\\\nonexistent-server\\share\\"));
}

TEST(FileStatus, WindowsFolderSpellings) {
  if (!platform::kWindows) GTEST_SKIP() << "drive letters exist only on Windows";
  EXPECT_TRUE(PathExists("C:\\windows"));
  EXPECT_FALSE(PathExists("C:\\windows\\"));
  EXPECT_TRUE(FolderExists("C:\\windows"));
  EXPECT_TRUE(FolderExists("C:\\windows\\"));
  EXPECT_TRUE(FileStatus("C:\\").IsFolder());
  EXPECT_TRUE(FileStatus("C:\\windows\\").Failed());
  EXPECT_TRUE(FileStatus("C:").Failed());
  // Relative names of one letter and then more keep the rule.
  ScratchFolder scratch;
  scratch.MakeFolder("a/bc/d");
  test::CurrentFolderScope here(scratch.Path());
  EXPECT_TRUE(PathExists("a\\bc\\d"));
  EXPECT_FALSE(PathExists("a\\bc\\d\\"));
}

TEST(FileAttributes, MissingPath) {
  ScratchFolder scratch;
  FileAttributes missing(scratch.Join("missing.txt"));
  EXPECT_TRUE(missing.IsInvalid());
  EXPECT_EQ(missing.Attributes(), platform::kInvalidAttributes);
  EXPECT_EQ(missing.Path(), "");
  EXPECT_NE(missing.HasAttributes(platform::kAttributeReadOnly), 0u);
  EXPECT_FALSE(missing.ClearProtection());
  EXPECT_FALSE(missing.SetAttributes(platform::kAttributeReadOnly));
}

TEST(FileAttributes, NormalisedPathAndBits) {
  ScratchFolder scratch;
  scratch.WriteFile("file.txt", "x");
  const std::string folder = scratch.MakeFolder("folder");
  const std::string canonical = NormalizeSeparators(scratch.Join("file.txt"));
  std::string messy = canonical;
  for (char& c : messy) {
    if (c == '\\') c = '/';
  }
  messy.insert(messy.rfind('/'), "/");
  messy += "/";

  const FileAttributes file(messy);
  EXPECT_FALSE(file.IsInvalid());
  EXPECT_EQ(file.Path(), canonical);
  EXPECT_EQ(file.HasAttributes(platform::kAttributeFolder | platform::kAttributeReadOnly), 0u);

  const FileAttributes dir(folder + "\\");
  EXPECT_EQ(dir.Path(), NormalizeSeparators(folder));
  EXPECT_NE(dir.HasAttributes(platform::kAttributeFolder), 0u);

  if (!platform::kWindows) {
    // POSIX stands a leading dot in for the hidden bit, which cannot be changed.
    FileAttributes hidden(scratch.WriteFile(".hidden"));
    EXPECT_EQ(hidden.Attributes(), platform::kAttributeHidden);
    EXPECT_FALSE(hidden.ClearProtection());
    EXPECT_EQ(FileAttributes(scratch.Join("file.txt")).Attributes(), platform::kAttributeNormal);
  }
}

TEST(FileAttributes, ReadOnlyRoundTrip) {
  ScratchFolder scratch;
  const std::string path = scratch.WriteFile("file.txt", "x");
  FileAttributes before(path);
  ASSERT_FALSE(before.IsInvalid());
  EXPECT_TRUE(before.ClearIfSet(platform::kAttributeReadOnly));
  ASSERT_TRUE(before.SetAttributes(platform::kAttributeReadOnly));
  // The stored value is not re-read.
  EXPECT_EQ(before.HasAttributes(platform::kAttributeReadOnly), 0u);

  FileAttributes readOnly(path);
  EXPECT_NE(readOnly.HasAttributes(platform::kAttributeReadOnly), 0u);
  EXPECT_TRUE(readOnly.ClearAttributes(platform::kAttributeReadOnly));
  EXPECT_NE(readOnly.HasAttributes(platform::kAttributeReadOnly), 0u);
  EXPECT_EQ(FileAttributes(path).HasAttributes(platform::kAttributeReadOnly), 0u);

  ASSERT_TRUE(FileAttributes(path).SetAttributes(platform::kAttributeReadOnly));
  EXPECT_TRUE(FileAttributes(path).ClearProtection());
  EXPECT_EQ(FileAttributes(path).HasAttributes(platform::kAttributeReadOnly), 0u);
}

// Records how ClearProtection and ClearIfSet reach the other operations.
class RecordingAttributes : public FileAttributes {
 public:
  explicit RecordingAttributes(std::uint32_t present) : FileAttributes(""), present_(present) {}
  std::uint32_t HasAttributes(std::uint32_t mask) const override {
    askedMask = mask;
    return present_ & mask;
  }
  bool ClearAttributes(std::uint32_t mask) override {
    clearedMask = mask;
    return true;
  }
  mutable std::uint32_t askedMask = 0;
  std::uint32_t clearedMask = 0;

 private:
  std::uint32_t present_;
};

TEST(FileAttributes, ClearingGoesThroughTheOverridableOperations) {
  RecordingAttributes hidden(platform::kAttributeHidden);
  EXPECT_TRUE(hidden.ClearProtection());
  EXPECT_EQ(hidden.askedMask, 7u);
  EXPECT_EQ(hidden.clearedMask, 7u);

  RecordingAttributes plain(platform::kAttributeNormal);
  EXPECT_TRUE(plain.ClearIfSet(platform::kAttributeReadOnly));
  EXPECT_EQ(plain.askedMask, platform::kAttributeReadOnly);
  EXPECT_EQ(plain.clearedMask, 0u);
}

TEST(ProcessQueries, EnvironmentCurrentFolderAndLongPaths) {
  EXPECT_EQ(GetEnvValue("QUILL_TEST_SURELY_UNSET_7F3A"), "");
  EXPECT_EQ(GetEnvValue(""), "");
  EXPECT_FALSE(GetEnvValue("PATH").empty());
  {
    test::ScopedEnvironmentValue unset("QUILL_TEST_EMPTY_7F3A", nullptr);
    EXPECT_TRUE(platform::SetEnvironmentValue("QUILL_TEST_EMPTY_7F3A", ""));
    EXPECT_EQ(GetEnvValue("QUILL_TEST_EMPTY_7F3A"), "");
  }
  if (platform::kWindows) {
    EXPECT_EQ(GetEnvValue("path"), GetEnvValue("PATH"));
  }

  const std::string current = CurrentFolder();
  ASSERT_FALSE(current.empty());
  EXPECT_TRUE(FolderExists(current));
  EXPECT_EQ(current, fs::current_path().string());

  ScratchFolder scratch;
  const std::string missing = scratch.Join("missing~1\\x.txt");
  EXPECT_EQ(LongPathOf(missing), missing);
  const std::string file = scratch.WriteFile("file.txt");
  EXPECT_TRUE(PathExists(LongPathOf(file)));
}

TEST(ProcessQueries, LongPathOfShortName) {
  if (!platform::kWindows) GTEST_SKIP() << "POSIX has one form of name only";
  ScratchFolder scratch;
  const std::string programFiles = "C:\\Program Files";
  // Windows numbers short names (LONGFO~1); Wine derives them from a hash of
  // the long name, which gives PROG~FBU for "Program Files".
  const struct {
    std::string shortForm;
    std::string longForm;
  } candidates[] = {
      {scratch.Join("LONGFO~1"), scratch.MakeFolder("LongFolderName123")},
      {"C:\\PROGRA~1", programFiles},
      {"C:\\PROG~FBU", programFiles},
  };
  int checked = 0;
  for (const auto& candidate : candidates) {
    if (!FolderExists(candidate.shortForm)) continue;
    EXPECT_EQ(ToLower(LongPathOf(candidate.shortForm)), ToLower(candidate.longForm));
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "none of the expected 8.3 short names exists here";
}

}  // namespace
}  // namespace quill
