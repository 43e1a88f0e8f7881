#include "environment/directory_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/environment.h"
#include "support/current_folder.h"
#include "support/path_helpers.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::CurrentFolderScope;
using test::EntryNames;
using test::Exists;
using test::ReadWholeFile;
using test::ScratchFolder;
using test::WithForeignSeparators;

std::size_t EntryCount(const std::string& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(fs::symlink_status(path, error));
}

TEST(CreateDirectoryTree, ExistingFoldersAndTheEmptyPath) {
  ScratchFolder scratch;
  const std::string& root = scratch.Path();
  for (const std::string& path : {root, root + "\\", root + "/", WithForeignSeparators(root),
                                  WithForeignSeparators(root) + "/", std::string()}) {
    EXPECT_TRUE(CreateDirectoryTree(path)) << path;
  }
  EXPECT_EQ(EntryCount(root), 0u);
}

TEST(CreateDirectoryTree, CreatesEveryMissingLevelOutwardsIn) {
  ScratchFolder scratch;
  EXPECT_TRUE(CreateDirectoryTree(scratch.Path() + "\\a\\b\\c"));
  EXPECT_TRUE(IsFolder(scratch.Join("a/b/c")));

  // Doubled, mixed and trailing separators all read as one.
  EXPECT_TRUE(CreateDirectoryTree(WithForeignSeparators(scratch.Path()) + "//p//q/"));
  EXPECT_TRUE(IsFolder(scratch.Join("p/q")));
  EXPECT_TRUE(CreateDirectoryTree(scratch.Path() + "/a\\b//c2\\"));
  EXPECT_TRUE(IsFolder(scratch.Join("a/b/c2")));
  EXPECT_EQ(EntryCount(scratch.Path()), 2u);
  EXPECT_EQ(EntryCount(scratch.Join("a/b")), 2u);
}

TEST(CreateDirectoryTree, RelativeAndRootRelativePaths) {
  ScratchFolder scratch;
  CurrentFolderScope inScratch(scratch.Path());
  EXPECT_TRUE(CreateDirectoryTree("rel\\sub"));
  EXPECT_TRUE(IsFolder(scratch.Join("rel/sub")));
  EXPECT_TRUE(CreateDirectoryTree("rel/sub2/"));
  EXPECT_TRUE(IsFolder(scratch.Join("rel/sub2")));

  // From the root of the current drive: the scratch path less its drive.
  std::string fromRoot = NormalizeSeparators(scratch.Path());
  if (platform::kWindows) fromRoot = fromRoot.substr(fromRoot.find('\\'));
  ASSERT_EQ(fromRoot[0], '\\');
  EXPECT_TRUE(CreateDirectoryTree(fromRoot + "\\top\\down"));
  EXPECT_TRUE(IsFolder(scratch.Join("top/down")));
}

TEST(CreateDirectoryTree, AnOrdinaryFileInTheWay) {
  ScratchFolder scratch;
  scratch.WriteFile("a/b", "x");
  EXPECT_FALSE(CreateDirectoryTree(scratch.Join("a/b/c/d")));
  EXPECT_EQ(ReadWholeFile(scratch.Join("a/b")), "x");
  EXPECT_FALSE(CreateDirectoryTree(scratch.Join("a/b")));
  EXPECT_FALSE(CreateDirectoryTree(scratch.Join("a/b") + "\\"));
  EXPECT_EQ(EntryCount(scratch.Join("a")), 1u);
}

TEST(CreateDirectoryTree, DrivesAreNeverCreated) {
  if (platform::kWindows) GTEST_SKIP() << "a missing drive cannot be arranged here";
  // On POSIX `C:` is an ordinary name, so a level that would be made without
  // the drive rule shows up in the current folder.
  ScratchFolder scratch;
  CurrentFolderScope inScratch(scratch.Path());
  EXPECT_FALSE(CreateDirectoryTree("C:\\x"));
  EXPECT_EQ(EntryCount(scratch.Path()), 0u);
  // An existing level is taken before the drive rule looks at it.
  scratch.MakeFolder("D:");
  EXPECT_TRUE(CreateDirectoryTree("D:\\x"));
  EXPECT_TRUE(IsFolder(scratch.Join("D:/x")));
}

TEST(CreateDirectoryTree, NetworkServerAndShareAreOnlyReached) {
  ScratchFolder scratch;
  // Windows takes `\\?\` before a local path; POSIX reads a leading `//` as
  // the root. Either way the first two components play server and share.
  const std::string normal = NormalizeSeparators(scratch.Path());
  const std::string network = platform::kWindows ? "\\\\?\\" + normal : "\\" + normal;
  EXPECT_TRUE(CreateDirectoryTree(network + "\\d\\e"));
  EXPECT_TRUE(IsFolder(scratch.Join("d/e")));
  EXPECT_TRUE(CreateDirectoryTree(network + "/d/e/"));

  if (!platform::kWindows) {
    // A missing share is not made: the level below it fails.
    const StringList parts = SplitString(normal, '\\');
    ASSERT_GE(parts.size(), 3u);
    const std::string share = "/" + parts[1] + "/" + parts[2] + "-missing-share";
    EXPECT_FALSE(CreateDirectoryTree("\\\\" + parts[1] + "\\" + parts[2] + "-missing-share\\d"));
    EXPECT_FALSE(Exists(share));
    std::error_code error;
    fs::remove_all(share, error);
  }
}

TEST(CreateEmptyFile, CreatesTheFileAndItsFolder) {
  ScratchFolder scratch;
  const std::string file = WithForeignSeparators(scratch.Path()) + "//w//x/a.in_";
  EXPECT_TRUE(CreateEmptyFile(file));
  EXPECT_TRUE(fs::is_regular_file(scratch.Join("w/x/a.in_")));
  EXPECT_EQ(fs::file_size(scratch.Join("w/x/a.in_")), 0u);

  // An existing file is truncated.
  const std::string five = scratch.WriteFile("five.txt", "12345");
  EXPECT_TRUE(CreateEmptyFile(five));
  EXPECT_EQ(fs::file_size(five), 0u);
}

TEST(CreateEmptyFile, RefusedWhenFolderOrFileCannotBeMade) {
  ScratchFolder scratch;
  scratch.WriteFile("blocker", "x");
  EXPECT_FALSE(CreateEmptyFile(scratch.Join("blocker/sub/a.in_")));
  EXPECT_EQ(ReadWholeFile(scratch.Join("blocker")), "x");

  const std::string folder = scratch.MakeFolder("folder");
  EXPECT_FALSE(CreateEmptyFile(folder));
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_EQ(EntryCount(scratch.Path()), 2u);
}

TEST(CreateEmptyFile, DoesNotFollowALinkAtItsName) {
  if (platform::kWindows) GTEST_SKIP() << "symbolic links are a POSIX concern here";
  ScratchFolder scratch;
  // A link planted at the name must neither truncate nor create its target.
  const std::string target = scratch.WriteFile("target.txt", "12345");
  fs::create_symlink(target, scratch.Join("link.out"));
  EXPECT_FALSE(CreateEmptyFile(scratch.Join("link.out")));
  EXPECT_EQ(ReadWholeFile(target), "12345");

  fs::create_symlink(scratch.Join("nowhere.txt"), scratch.Join("dangling.out"));
  EXPECT_FALSE(CreateEmptyFile(scratch.Join("dangling.out")));
  EXPECT_FALSE(Exists(scratch.Join("nowhere.txt")));
}

}  // namespace
}  // namespace quill
