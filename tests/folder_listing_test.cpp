#include "filetree/folder_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "environment/dump_log.h"
#include "filetree/file_copy.h"
#include "platform/services.h"
#include "progress/progress_indicator.h"
#include "support/fake_clock_test.h"
#include "support/fake_services.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

StringList Sorted(StringList list) {
  std::sort(list.begin(), list.end());
  return list;
}

using FolderListingTest = test::FakeClockTest;

TEST(MatchesPatternTest, StarsMatchRunsAndTheRestMustAppearInOrder) {
  EXPECT_TRUE(MatchesPattern("a.TXT", "*.txt"));
  EXPECT_TRUE(MatchesPattern("b.txt.txt", "*.TXT"));
  EXPECT_FALSE(MatchesPattern("a.txt.bak", "*.txt"));
  EXPECT_FALSE(MatchesPattern("txt", "*.txt"));

  EXPECT_TRUE(MatchesPattern("a.", "*.*"));
  EXPECT_TRUE(MatchesPattern("x.y", "*.*"));
  EXPECT_FALSE(MatchesPattern("README", "*.*"));
  EXPECT_FALSE(MatchesPattern("a.txt", "*."));
  EXPECT_TRUE(MatchesPattern("README", ""));
  EXPECT_TRUE(MatchesPattern("README", "*"));
  EXPECT_TRUE(MatchesPattern("", "**"));

  // Without a star the name must contain, begin and end with the pattern.
  EXPECT_TRUE(MatchesPattern("ab", "ab"));
  EXPECT_TRUE(MatchesPattern("abab", "ab"));
  EXPECT_FALSE(MatchesPattern("aab", "ab"));

  EXPECT_TRUE(MatchesPattern("axbyc", "a*b*c"));
  EXPECT_TRUE(MatchesPattern("abc", "a*b*c"));
  EXPECT_FALSE(MatchesPattern("acb", "a*b*c"));
  EXPECT_FALSE(MatchesPattern("abca", "a*b*c"));
  EXPECT_TRUE(MatchesPattern("x", "x*"));
  EXPECT_TRUE(MatchesPattern("xyz", "x*"));
  EXPECT_FALSE(MatchesPattern("yx", "x*"));
  // A piece is consumed once: "aa" needs two a's.
  EXPECT_FALSE(MatchesPattern("a", "*a*a*"));
  EXPECT_TRUE(MatchesPattern("banana", "*a*a*"));
  // "?" is an ordinary character.
  EXPECT_FALSE(MatchesPattern("ab", "a?"));
  EXPECT_TRUE(MatchesPattern("a?", "a?"));
  // A piece that opens with a quote runs to its closing quote, stars included.
  EXPECT_FALSE(MatchesPattern("it's", "*'s**"));
  EXPECT_TRUE(MatchesPattern("it's**", "*'s**"));
  EXPECT_TRUE(MatchesPattern("a\"b*c\"d", "a*\"b*c\"*"));

  // Only the name after the last separator counts.
  EXPECT_FALSE(MatchesPattern("C:\\dir.txt\\file", "*.txt"));
  EXPECT_TRUE(MatchesPattern("/dir/X.txt", "x.txt"));
  EXPECT_EQ(DropEmpty({"", "a", "", "b"}), (StringList{"a", "b"}));
}

TEST_F(FolderListingTest, ReadFolderGivesFullPathsWithFoldersMarked) {
  scratch.WriteFile("a.txt");
  scratch.WriteFile("B.TXT");
  scratch.MakeFolder("sub");
  scratch.WriteFile("sub/inner.txt");
  const std::string base = scratch.Path() + "\\";
  const StringList expected{base + "B.TXT", base + "a.txt", base + "sub\\"};
  EXPECT_EQ(Sorted(ReadFolder(scratch.Path())), expected);
  EXPECT_EQ(Sorted(ReadFolder(base)), expected);
  EXPECT_TRUE(ReadFolder(scratch.Join("missing")).empty());
  EXPECT_TRUE(ReadFolder(scratch.Join("a.txt")).empty());

  // An empty folder name lists the current folder as bare names.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch.Path());
  const StringList bare = Sorted(ReadFolder(""));
  std::filesystem::current_path(previous);
  EXPECT_EQ(bare, (StringList{"B.TXT", "a.txt", "sub\\"}));
}

TEST_F(FolderListingTest, ListFolderOfListsTheFolderOfAFile) {
  const std::string file = scratch.WriteFile("only.txt");
  const std::string base = scratch.Path() + "\\";
  EXPECT_EQ(ListFolderOf(file.c_str()), (StringList{base + "only.txt"}));
  EXPECT_EQ(ListFolderOf(base.c_str()), (StringList{base + "only.txt"}));
  EXPECT_EQ(ListFolderOf(scratch.Join("not-there.txt").c_str()), (StringList{base + "only.txt"}));
  // A bare name that is no folder lists the root: "\" + entry.
  const StringList root = ListFolderOf("no-such-name-anywhere");
  ASSERT_FALSE(root.empty());
  for (const std::string& entry : root) EXPECT_EQ(entry.substr(0, 1), "\\") << entry;
  EXPECT_EQ(ListFolderOf(nullptr), ReadFolder("\\"));
}

TEST_F(FolderListingTest, FindFilesKeepsMatchingFilesOnly) {
  scratch.WriteFile("log1.TXT");
  scratch.WriteFile("log2.txt");
  scratch.WriteFile("log3.txt.bak");
  scratch.WriteFile("other.txt");
  scratch.MakeFolder("log4.txt");
  const std::string base = scratch.Path() + "\\";
  EXPECT_EQ(Sorted(FindFilesInFolder(scratch.Path().c_str(), "LOG*.txt")),
            (StringList{base + "log1.TXT", base + "log2.txt"}));
  EXPECT_EQ(Sorted(FindFilesInFolder(scratch.Path().c_str(), "*")).size(), 4u);
  EXPECT_EQ(fake.errorOutput, "");
}

TEST_F(FolderListingTest, FilterDropsFoldersAndShowsBarFromTenEntries) {
  StringList entries{"C:\\d\\x.txt\\", "/d/y.txt/", "", "C:\\d\\z.txt", "C:\\d\\z.log"};
  EXPECT_EQ(FilterByPattern(entries, "*.txt"), (StringList{"C:\\d\\z.txt"}));
  EXPECT_EQ(FilterByPattern(entries, "*"), (StringList{"", "C:\\d\\z.txt", "C:\\d\\z.log"}));
  EXPECT_EQ(fake.errorOutput, "");

  // A clock that moves on whenever it is read, so every step may redraw.
  struct TickingServices : test::FakeServices {
    std::uint32_t TickCount() override {
      Advance(150);
      return FakeServices::TickCount();
    }
  } ticking;
  StringList many;
  for (int i = 0; i < 12; ++i) many.push_back("C:\\d\\f" + std::to_string(i));
  EXPECT_EQ(FilterByPattern(many, "f1*"), (StringList{"C:\\d\\f1", "C:\\d\\f10", "C:\\d\\f11"}));
  const std::string& out = ticking.errorOutput;
  EXPECT_EQ(out.rfind("Extract files ...    ( 1 / 12 )", 0), 0u) << out;
  EXPECT_NE(out.find("Extract files ...    ( 12 / 12 )    ********************\r"),
            std::string::npos);
  // The line is erased at the end.
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out.substr(out.size() - 2), " \r");
  EXPECT_EQ(ProgressIndicator::liveCount, 0);
}

TEST_F(FolderListingTest, IsFolderEmptyLooksAtTheFolderOrTheFileFolder) {
  const std::string empty = scratch.MakeFolder("empty");
  EXPECT_TRUE(IsFolderEmpty(empty.c_str()));
  EXPECT_TRUE(IsFolderEmpty((empty + "/").c_str()));
  EXPECT_TRUE(IsFolderEmpty((scratch.Join("missing") + "\\x").c_str()));
  scratch.MakeFolder("holder/sub");
  EXPECT_FALSE(IsFolderEmpty(scratch.Join("holder").c_str()));
  scratch.WriteFile("withfile/f.txt");
  EXPECT_FALSE(IsFolderEmpty((scratch.Join("withfile") + "\\f.txt").c_str()));
  EXPECT_FALSE(IsFolderEmpty(scratch.Join("withfile").c_str()));
}

TEST_F(FolderListingTest, CopyFileToCreatesTheFolderAndOverwrites) {
  const std::string source = scratch.WriteFile("src.txt", "new content");
  EXPECT_FALSE(CopyFileTo(scratch.Join("none.txt").c_str(), scratch.Join("d.txt").c_str()));
  EXPECT_FALSE(test::Exists(scratch.Join("d.txt")));

  const std::string nested = scratch.Join("a") + "\\b\\copy.txt";
  EXPECT_TRUE(CopyFileTo(source.c_str(), nested.c_str()));
  EXPECT_EQ(test::ReadWholeFile(scratch.Join("a/b/copy.txt")), "new content");

  const std::string existing = scratch.WriteFile("old.txt", "old, longer content");
  EXPECT_TRUE(CopyFileTo(source.c_str(), existing.c_str()));
  EXPECT_EQ(test::ReadWholeFile(existing), "new content");

  // A file where the destination folder must be.
  scratch.WriteFile("blocked", "x");
  EXPECT_FALSE(CopyFileTo(source.c_str(), (scratch.Join("blocked") + "\\c.txt").c_str()));
  EXPECT_EQ(test::ReadWholeFile(scratch.Join("blocked")), "x");
  EXPECT_FALSE(CopyFileTo(nullptr, existing.c_str()));
}

}  // namespace
}  // namespace quill
