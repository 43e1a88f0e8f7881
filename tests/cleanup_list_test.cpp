#include "filetree/cleanup_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "environment/dump_log.h"
#include "paths/file_status.h"
#include "platform/services.h"
#include "progress/progress_indicator.h"
#include "support/child_process.h"
#include "support/fake_clock_test.h"
#include "support/fake_services.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

constexpr char kPurgeChildTest[] = "CleanupListChild.DISABLED_PurgeAndExit";
constexpr char kPurgeChildArgument[] = "purge-folder";

void MakeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

using CleanupListTest = test::FakeClockTest;

TEST_F(CleanupListTest, RemovesContentsBeforeFoldersAndKeepsNonEmptyFolders) {
  const std::string t = scratch.Join("t") + "\\";
  scratch.WriteFile("t/a.txt");
  scratch.WriteFile("t/sub/deep.txt");
  scratch.WriteFile("u/a.txt");
  scratch.WriteFile("u/unqueued.txt");
  {
    CleanupList list;
    EXPECT_TRUE(list.Add(t + "a.txt"));
    EXPECT_TRUE(list.Add(t.c_str()));
    EXPECT_TRUE(list.Add(t + "a.txt"));
    EXPECT_TRUE(list.AddAll({t + "sub", t + "sub\\deep.txt", "", scratch.Join("missing")}));
    EXPECT_TRUE(list.Add(scratch.Join("u") + "\\"));
    EXPECT_TRUE(list.Add(scratch.Join("u") + "\\a.txt"));
    EXPECT_TRUE(list.Add(static_cast<const char*>(nullptr)));
    EXPECT_EQ(list.Sources().size(), 10u);
    EXPECT_TRUE(list.RemoveAll());
    EXPECT_TRUE(list.Sources().empty());
  }
  EXPECT_FALSE(test::Exists(scratch.Join("t")));
  EXPECT_FALSE(test::Exists(scratch.Join("u/a.txt")));
  EXPECT_TRUE(test::Exists(scratch.Join("u/unqueued.txt")));
}

TEST_F(CleanupListTest, ReadOnlyFileSurvivesAndDestructorRemoves) {
  const std::string locked = scratch.WriteFile("locked.txt", "keep");
  const std::string plain = scratch.WriteFile("plain.txt");
  MakeReadOnly(locked);
  {
    CleanupList list;
    list.Add(locked);
    list.Add(plain);
    list.Add(scratch.Path());
  }
  EXPECT_EQ(test::ReadWholeFile(locked), "keep");
  EXPECT_FALSE(test::Exists(plain));
  EXPECT_TRUE(test::Exists(scratch.Path()));
}

TEST_F(CleanupListTest, DeferredMoveKeepsTheSourceWhenTheCopyFails) {
  const std::string moved = scratch.WriteFile("moved.txt", "one");
  const std::string kept = scratch.WriteFile("kept.txt", "two");
  const std::string plain = scratch.WriteFile("plain.txt");
  scratch.WriteFile("blocked", "a file where a folder must be");
  const std::string target = scratch.Join("new") + "\\sub\\moved.txt";
  {
    CleanupList list;
    list.Add(plain);
    list.AddWithCopy(moved.c_str(), target.c_str());
    list.AddWithCopy(kept.c_str(), (scratch.Join("blocked") + "\\kept.txt").c_str());
    list.Add(plain);
    EXPECT_EQ(list.Sources().size(), 4u);
    EXPECT_EQ(list.Destinations(),
              (StringList{"", target, scratch.Join("blocked") + "\\kept.txt"}));
    // A later AddWithCopy drops the destinations beyond its own index.
    CleanupList other;
    other.AddWithCopy("a", "x");
    other.AddWithCopy("b", "y");
    EXPECT_EQ(other.Destinations(), (StringList{"x", "y"}));
  }
  EXPECT_FALSE(test::Exists(moved));
  EXPECT_EQ(test::ReadWholeFile(scratch.Join("new/sub/moved.txt")), "one");
  EXPECT_EQ(test::ReadWholeFile(kept), "two");
  EXPECT_FALSE(test::Exists(plain));

  CleanupList list;
  list.AddWithCopy(kept.c_str(), scratch.Join("copy.txt").c_str());
  EXPECT_TRUE(list.CopyAll());
  EXPECT_TRUE(list.Destinations().empty());
  EXPECT_EQ(test::ReadWholeFile(scratch.Join("copy.txt")), "two");
  EXPECT_EQ(list.Sources(), (StringList{kept}));
}

TEST_F(CleanupListTest, PurgeQueuesMatchingFilesFromTenDaysOn) {
  const std::string old = scratch.WriteFile("dump/log.txt");
  const std::string younger = scratch.WriteFile("dump/log-2.TXT");
  const std::string locked = scratch.WriteFile("dump/log-locked.txt");
  const std::string unmatched = scratch.WriteFile("dump/other.txt");
  scratch.WriteFile("dump/sub/log-inner.txt");
  scratch.WriteFile("parent.txt");
  const fs::file_time_type oldTime = fs::last_write_time(old);
  fs::last_write_time(locked, oldTime);
  fs::last_write_time(unmatched, oldTime);
  MakeReadOnly(locked);
  // One second younger than `old`, whatever fraction of a second it has.
  fs::last_write_time(younger, oldTime + std::chrono::seconds(1));
  const std::int64_t modified = FileStatus(old).ModifyTime();
  ASSERT_EQ(FileStatus(younger).ModifyTime(), modified + 1);
  fake.calendarStart = modified + 10 * 86400;

  CleanupList& list = ProcessCleanupList();
  list.RemoveAll();
  const std::string folder = scratch.Join("dump") + "\\";
  PurgeOldFiles((folder + "log.txt").c_str(), 10);
  ASSERT_EQ(list.Sources(), (StringList{folder + "log.txt"}));
  PurgeOldFiles((folder + "log.txt").c_str(), 11);
  EXPECT_EQ(list.Sources().size(), 1u);
  // A missing folder is not replaced by its parent.
  PurgeOldFiles((scratch.Join("gone") + "\\.txt").c_str(), 0);
  EXPECT_EQ(list.Sources().size(), 1u);
  // Nothing is removed before the list is processed.
  EXPECT_TRUE(test::Exists(old));
  list.RemoveAll();
  EXPECT_FALSE(test::Exists(old));
  EXPECT_TRUE(test::Exists(younger));
  EXPECT_TRUE(test::Exists(locked));
  EXPECT_TRUE(test::Exists(scratch.Join("parent.txt")));
}

// Run in a child process: queues the files of a folder and ends normally.
TEST(CleanupListChild, DISABLED_PurgeAndExit) {
  const std::string folder = test::ChildArgument(kPurgeChildArgument);
  if (folder.empty()) return;
  PurgeOldFiles((folder + "\\.txt").c_str(), 0);
}

TEST_F(CleanupListTest, ProcessWideListRemovesItsFilesAtProgramExit) {
  const std::string folder = scratch.MakeFolder("exit");
  const std::string file = scratch.WriteFile("exit/a.txt");
  const std::string other = scratch.WriteFile("exit/a.log");
  test::RunTestsInChildren(kPurgeChildTest, kPurgeChildArgument, {folder});
  EXPECT_FALSE(test::Exists(file));
  EXPECT_TRUE(test::Exists(other));
}

}  // namespace
}  // namespace quill
