#include "environment/dump_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "environment/directory_tree.h"
#include "environment/dump_line.h"
#include "environment/special_folders.h"
#include "environment/temp_folder.h"
#include "environment/time_format.h"
#include "filetree/cleanup_list.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "platform/services.h"
#include "platform/testing.h"
#include "progress/progress_indicator.h"
#include "support/child_process.h"
#include "support/fake_clock_test.h"
#include "support/fake_services.h"
#include "support/plants.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

constexpr char kWriterTest[] = "DumpLogChild.DISABLED_WriteRecords";
constexpr char kWriterArgument[] = "dump-writer";

std::tm Local(std::int64_t time) {
  std::tm local{};
  EXPECT_TRUE(platform::LocalTime(time, &local));
  return local;
}

// "%Y/%m/%d %H:%M:%S" spelt out by hand.
std::string Stamp(std::int64_t time) {
  const std::tm t = Local(time);
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string HourFileName(std::int64_t time) {
  const std::tm t = Local(time);
  char text[32];
  std::snprintf(text, sizeof text, "%02d%02d_%02d.txt", t.tm_mon + 1, t.tm_mday, t.tm_hour);
  return text;
}

// The last second of the local hour that `time` lies in.
std::int64_t LastSecondOfHour(std::int64_t time) {
  const std::tm t = Local(time);
  return time + (59 - t.tm_min) * 60 + (59 - t.tm_sec);
}

std::string ProgramName() {
  return std::string("quill_tests") + platform::kProgramSuffix;
}

// The header without its time stamp and the TAB after it.
std::string HeaderTail() {
  return UserName() + "\t\t" + TempFolder() + "\t\t" + CurrentFolder() + "\t\t" + ModulePath() +
         "\t\t\r\n";
}

std::string Header(std::int64_t time) {
  return Stamp(time) + "\t" + HeaderTail();
}

std::string Entry(std::int64_t time, const std::string& flatText) {
  return Stamp(time) + "\t" + ProgramName() + "\t" + flatText + "\r\n";
}

class DumpLogTest : public test::FakeClockTest {
 protected:
  // Where the library puts the hourly files, as this test reads them.
  std::string Dump(const std::string& name = "") const {
    return scratch.Join("Temp/Temp/DbgDump/WZ/" + name);
  }
  std::string HourFile(std::int64_t time) const { return Dump(HourFileName(time)); }
  std::size_t FileCount() const {
    std::size_t count = 0;
    for (auto it = fs::directory_iterator(Dump()); it != fs::directory_iterator(); ++it) ++count;
    return count;
  }
};

TEST(FlattenLineBreaksTest, CarriageReturnTakesFirstCharacterLineFeedTheRest) {
  EXPECT_EQ(FlattenLineBreaks("one\ntwo\n", "\t\t"), "one\ttwo\t");
  EXPECT_EQ(FlattenLineBreaks("one\r\ntwo\r\n", "\t\t"), "one\t\ttwo\t\t");
  EXPECT_EQ(FlattenLineBreaks("a\rb\nc", "xyz"), "axbyzc");
  EXPECT_EQ(FlattenLineBreaks("a\rb\nc", "x"), "axbc");
}

// What the writer makes, the reader takes apart: an entry comes back with its
// program and flattened text, a header is told apart from entries, and a
// line of any other form is neither.
TEST(DumpLine, WhatIsMadeIsReadBackAndHeadersAreToldApart) {
  const std::string stamp = "2026/12/08 04:05:06";
  struct Case {
    std::string line;
    bool entry;
    bool header;
    std::string program;
    std::string text;
  };
  for (const Case& c : {
           Case{dumpline::EntryLine(stamp, "kestrel", "Can't create C:\\x"), true, false, "kestrel",
                "Can't create C:\\x"},
           Case{dumpline::EntryLine(stamp, "launcher.exe", "two\r\nlines\n"), true, false,
                "launcher.exe", "two\t\tlines\t"},
           Case{dumpline::EntryLine(stamp, "kestrel", ""), true, false, "kestrel", ""},
           Case{dumpline::HeaderLine(stamp, {"root", "/tmp/root", "/", "/usr/bin/launcher"}), false,
                true, "", ""},
           Case{"2026/12/08 04:05:0x\tkestrel\ttext\r\n", false, false, "", ""},
           Case{"2026/12/08 04:05:06 kestrel text\r\n", false, false, "", ""},
           Case{"2026/12/08 04:05:06\tkestrel-without-text\r\n", false, false, "", ""},
       }) {
    SCOPED_TRACE(c.line);
    dumpline::EntryFields fields;
    ASSERT_EQ(dumpline::ParseEntryLine(c.line, &fields), c.entry);
    EXPECT_EQ(dumpline::IsHeaderLine(c.line), c.header);
    if (!c.entry) continue;
    EXPECT_EQ(fields.stamp, stamp);
    EXPECT_EQ(fields.program, c.program);
    EXPECT_EQ(fields.text, c.text);
  }
  std::tm read{};
  ASSERT_TRUE(dumpline::ReadStamp(stamp, &read));
  EXPECT_EQ(std::to_string(read.tm_year + 1900) + "-" + std::to_string(read.tm_mon + 1) + "-" +
                std::to_string(read.tm_mday) + " " + std::to_string(read.tm_hour) + ":" +
                std::to_string(read.tm_min) + ":" + std::to_string(read.tm_sec),
            "2026-12-8 4:5:6");
  EXPECT_FALSE(dumpline::ReadStamp("2026/12/08 04:05", &read));
}

TEST_F(DumpLogTest, FirstEntryOfTheHourStartsTheFileWithTheHeader) {
  const std::int64_t t = fake.CalendarTime();
  EXPECT_TRUE(WriteDumpEntry(std::string("two\nlines\r\nend")));
  const std::string first = Header(t) + Entry(t, "two\tlines\t\tend");
  EXPECT_EQ(test::ReadWholeFile(HourFile(t)), first);

  fake.Advance(5000);
  EXPECT_TRUE(WriteDumpEntry("second"));
  EXPECT_TRUE(WriteDumpEntry(static_cast<const char*>(nullptr)));
  EXPECT_EQ(test::ReadWholeFile(HourFile(t)), first + Entry(t + 5, "second") + Entry(t + 5, ""));
  EXPECT_EQ(FileCount(), 1u);
  EXPECT_EQ(fake.errorOutput, "");
}

TEST_F(DumpLogTest, NewHourStartsNewFileAndRecordsAreWrittenAsGiven) {
  const std::int64_t last = LastSecondOfHour(fake.CalendarTime());
  fake.calendarStart = last;
  EXPECT_TRUE(WriteDumpEntry(std::string("before")));
  fake.Advance(1000);
  EXPECT_TRUE(WriteDumpEntry(std::string("after")));
  ASSERT_NE(HourFileName(last), HourFileName(last + 1));
  EXPECT_EQ(test::ReadWholeFile(HourFile(last)), Header(last) + Entry(last, "before"));
  EXPECT_EQ(test::ReadWholeFile(HourFile(last + 1)), Header(last + 1) + Entry(last + 1, "after"));

  // A record on a new file gets the header; its own bytes go in unchanged.
  fake.Advance(3600 * 1000);
  const std::int64_t later = fake.CalendarTime();
  EXPECT_TRUE(WriteDumpRecord(""));
  EXPECT_EQ(test::ReadWholeFile(HourFile(later)), Header(later));
  EXPECT_TRUE(WriteDumpRecord("raw\n"));
  EXPECT_EQ(test::ReadWholeFile(HourFile(later)), Header(later) + "raw\n");
  EXPECT_EQ(FileCount(), 3u);
}

TEST_F(DumpLogTest, OnlyTheFirstRecordQueuesFilesTenDaysOld) {
  const std::string old = scratch.WriteFile("Temp/Temp/DbgDump/old.txt");
  const std::string oldInWz = scratch.WriteFile("Temp/Temp/DbgDump/WZ/0101_00.txt");
  const std::string younger = scratch.WriteFile("Temp/Temp/DbgDump/WZ/0101_01.txt");
  const std::string other = scratch.WriteFile("Temp/Temp/DbgDump/WZ/old.log");
  const fs::file_time_type oldTime = fs::last_write_time(old);
  fs::last_write_time(oldInWz, oldTime);
  fs::last_write_time(other, oldTime);
  fs::last_write_time(younger, oldTime + std::chrono::seconds(1));
  fake.calendarStart = FileStatus(old).ModifyTime() + 10 * 86400;

  CleanupList& list = ProcessCleanupList();
  list.RemoveAll();
  EXPECT_TRUE(WriteDumpEntry(std::string("first")));
  const std::string folder = scratch.Path() + "\\Temp\\Temp\\DbgDump\\";
  EXPECT_EQ(list.Sources(), (StringList{folder + "old.txt", folder + "WZ\\0101_00.txt"}));
  EXPECT_TRUE(test::Exists(old));

  fake.Advance(2000);
  EXPECT_TRUE(WriteDumpEntry(std::string("second")));
  EXPECT_EQ(list.Sources().size(), 2u);
  list.RemoveAll();
  EXPECT_EQ(list.SharedFilesQueued(), 0u);
  EXPECT_FALSE(test::Exists(old));
  EXPECT_FALSE(test::Exists(oldInWz));
  EXPECT_TRUE(test::Exists(younger));
  EXPECT_TRUE(test::Exists(other));
}

// A first record during a wait: a dump folder of ten entries or more shows
// the purge's line inside the wait's overall count, and erases it.
TEST_F(DumpLogTest, FirstRecordDuringAWaitDrawsThePurgesLine) {
  for (int i = 10; i < 22; ++i) {
    scratch.WriteFile("Temp/Temp/DbgDump/WZ/0101_" + std::to_string(i) + ".txt");
  }
  struct TickingServices : test::FakeServices {
    std::uint32_t TickCount() override {
      Advance(150);  // so that every step may redraw
      return FakeServices::TickCount();
    }
  } ticking;
  ConsoleProgressBar wait;
  wait.Start("wait  ...", 100);
  wait.Step();
  const std::size_t before = ticking.errorOutput.size();
  EXPECT_TRUE(WriteDumpEntry(std::string("during the wait")));
  const std::string shown = ticking.errorOutput.substr(before);
  const std::string last = "Extract files ...    ( 13 / 112 )    **..................\r";
  EXPECT_EQ(shown.rfind("Extract files ...    ( 2 / 112 )    ....................\r", 0), 0u)
      << shown;
  ASSERT_GT(shown.size(), 2 * last.size());
  EXPECT_EQ(shown.substr(shown.size() - 2 * last.size() - 1),
            last + std::string(last.size(), ' ') + "\r");
}

TEST_F(DumpLogTest, BlockedDumpFolderEndsWithoutARecord) {
  const std::string blocker = scratch.WriteFile("Temp", "in the way");
  // Creating the folder fails and reports it, which comes back here once.
  EXPECT_FALSE(WriteDumpEntry(std::string("lost")));
  EXPECT_TRUE(WriteDumpEntry("lost too"));
  EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>(200, 100));
  EXPECT_EQ(test::ReadWholeFile(blocker), "in the way");

  fs::remove(blocker);
  const std::int64_t t = fake.CalendarTime();
  EXPECT_TRUE(WriteDumpEntry(std::string("back")));
  EXPECT_EQ(test::ReadWholeFile(HourFile(t)), Header(t) + Entry(t, "back"));
}

TEST_F(DumpLogTest, LinkAtTheFileNameIsNotWrittenThrough) {
  if (platform::kWindows) GTEST_SKIP() << "links at file names are a POSIX matter";
  const std::int64_t t = fake.CalendarTime();
  const std::string target = scratch.WriteFile("target.txt", "not for the log");
  fs::create_directories(Dump());
  fs::create_symlink(target, HourFile(t));
  EXPECT_FALSE(WriteDumpEntry(std::string("redirected")));
  EXPECT_EQ(test::ReadWholeFile(target), "not for the log");
}

// A record of the stress test: its writer, its number and a payload that
// spells both, some of them longer than 5,000 bytes.
std::string StressText(int writer, int record) {
  const std::size_t length =
      record % 10 == 3 ? 5000 + 37 * writer + record : 10 + (writer * 31 + record * 17) % 300;
  std::string text = "W" + std::to_string(writer) + "R" + std::to_string(record) + ":";
  for (std::size_t i = 0; i < length; ++i) {
    text += static_cast<char>('a' + (writer + record + i) % 26);
  }
  return text;
}

// Run in a child process: writes the records of one writer.
TEST(DumpLogChild, DISABLED_WriteRecords) {
  const std::string argument = test::ChildArgument(kWriterArgument);
  if (argument.empty()) return;
  const std::size_t first = argument.find('|');
  const std::size_t second = argument.find('|', first + 1);
  ASSERT_NE(second, std::string::npos);
  platform::ScopedSharedDocuments sharedDocuments(argument.substr(0, first));
  const int writer = std::stoi(argument.substr(first + 1, second - first - 1));
  const int records = std::stoi(argument.substr(second + 1));
  for (int record = 0; record < records; ++record) {
    EXPECT_TRUE(WriteDumpEntry(StressText(writer, record)));
  }
}

// Runs `writers` child processes of `records` records each into the dump
// folder below `base`, then checks every line of every hour file: one header
// first, then only whole records. Each record turns up at most once, and
// exactly once unless `dropsAllowed`; the number stored is answered.
int WriteFromManyProcessesAndCheckLines(const std::string& base, const std::string& dump,
                                        int writers, int records, bool dropsAllowed) {
  std::vector<std::string> arguments;
  for (int writer = 0; writer < writers; ++writer) {
    arguments.push_back(base + "|" + std::to_string(writer) + "|" + std::to_string(records));
  }
  test::RunTestsInChildren(kWriterTest, kWriterArgument, arguments);

  // Every record's text, with how often it turned up.
  std::map<std::string, int> seen;
  for (int writer = 0; writer < writers; ++writer) {
    for (int record = 0; record < records; ++record) seen[StressText(writer, record)] = 0;
  }
  const std::string headerTail = HeaderTail();
  const std::string entryStart = ProgramName() + "\t";
  for (const auto& item : fs::directory_iterator(dump)) {
    const std::string content = test::ReadWholeFile(item.path().string());
    int headers = 0;
    for (std::size_t from = 0, end = 0; from < content.size(); from = end) {
      end = content.find("\r\n", from);
      EXPECT_NE(end, std::string::npos) << "unfinished last line";
      if (end == std::string::npos) break;
      end += 2;
      const std::string line = content.substr(from, end - from);
      EXPECT_TRUE(line.size() > 20 && line[19] == '\t') << line.substr(0, 100);
      const std::string rest = line.substr(std::min<std::size_t>(20, line.size()));
      if (rest == headerTail) {
        ++headers;
        continue;
      }
      EXPECT_NE(from, 0u) << "the file must begin with its header";
      const bool entry = rest.compare(0, entryStart.size(), entryStart) == 0;
      EXPECT_TRUE(entry) << line.substr(0, 100);
      const auto record =
          seen.find(entry ? rest.substr(entryStart.size(), rest.size() - entryStart.size() - 2)
                          : std::string());
      EXPECT_NE(record, seen.end()) << "torn record: " << line.substr(0, 100);
      if (record != seen.end()) ++record->second;
    }
    // Under the lock only one writer can find the file empty.
    EXPECT_EQ(headers, 1);
  }
  int stored = 0;
  for (const auto& [text, count] : seen) {
    EXPECT_LE(count, 1) << text.substr(0, 12);
    if (!dropsAllowed) {
      EXPECT_EQ(count, 1) << text.substr(0, 12);
    }
    stored += count;
  }
  return stored;
}

TEST_F(DumpLogTest, ManyProcessesAppendWholeRecordsExactlyOnce) {
  const int writers = platform::kWindows ? 8 : 20;
  const int records = platform::kWindows ? 100 : 200;
  WriteFromManyProcessesAndCheckLines(scratch.Path(), Dump(), writers, records, false);
}

// Run in a private mount namespace (unshare -m): mounts a small file system
// at the folder it is given and fills it with the records of many writers.
TEST(DumpLogChild, DISABLED_FillASmallFileSystem) {
  const std::string folder = test::ChildArgument("small-disk");
  if (folder.empty()) return;
  ASSERT_EQ(platform::RunAndWait("/bin/mount", "-t tmpfs -o size=96k quill-small " + folder), 0);
  std::ofstream(folder + ".mounted") << "mounted";
  const std::string dump = folder + "/Temp/Temp/DbgDump/WZ";
  const int writers = 8;
  const int records = 60;
  const int stored = WriteFromManyProcessesAndCheckLines(folder, dump, writers, records, true);
  // The disk did fill: some records were dropped, and many were stored.
  EXPECT_LT(stored, writers * records);
  EXPECT_GT(stored, 10);
  std::ofstream(folder + ".ran") << stored;
}

TEST_F(DumpLogTest, AFullDiskDropsRecordsButNeverCutsOrGluesThem) {
  if (platform::kWindows) GTEST_SKIP() << "a small file system is mounted on Linux only";
  const std::string disk = scratch.MakeFolder("small");
  const int status = platform::RunAndWait(
      "/usr/bin/unshare", "-m " + ModulePath() +
                              " --gtest_also_run_disabled_tests --gtest_brief=1"
                              " --gtest_filter=DumpLogChild.DISABLED_FillASmallFileSystem"
                              " --small-disk=" +
                              disk);
  if (!fs::exists(disk + ".mounted")) GTEST_SKIP() << "no private mount namespace here (root only)";
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::exists(disk + ".ran"));
}

// ---- A dump tree that other users can write -------------------------------

// The time of the real clock, so files written for real and the fake clock
// agree about what is old.
std::int64_t RealNow() {
  return platform::RealServices().CalendarTime();
}

void SetAge(const std::string& path, std::int64_t now, std::int64_t seconds) {
  const fs::file_time_type reference = fs::last_write_time(path);
  const std::int64_t written = FileStatus(path).ModifyTime();
  fs::last_write_time(path, reference + std::chrono::seconds(now - seconds - written));
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(DumpLogTest, LinkedLevelOrFileIsRefusedAndItsTargetUntouched) {
  struct Case {
    const char* link;  // below the dump base
    bool folder;
  };
  const std::int64_t now = RealNow();
  fake.calendarStart = now;
  // A linked level is retried as a level that cannot be reached, which moves
  // the fake clock on: the hour file's name is that of the row's own time.
  for (const Case& c :
       {Case{"Temp/Temp/DbgDump", true}, Case{"Temp/Temp/DbgDump/WZ", true}, Case{"", false}}) {
    const std::string hourFile = "Temp/Temp/DbgDump/WZ/" + HourFileName(fake.CalendarTime());
    const std::string linked = c.folder ? c.link : hourFile;
    SCOPED_TRACE(linked);
    test::ScratchFolder victim;
    const std::string notes = victim.WriteFile("notes.txt", "keep me");
    SetAge(notes, now, 20 * 86400);
    test::ScratchFolder base;
    const std::string link = base.Join(linked);
    fs::create_directories(fs::path(link).parent_path());
    if (!platform::MakeLinkForTesting(c.folder ? victim.Path() : notes, link, c.folder)) {
      GTEST_SKIP() << "this system cannot make symbolic links (Wine 8 answers success and makes "
                      "nothing)";
    }
    platform::ScopedSharedDocuments sharedDocuments(base.Path());
    ProcessCleanupList().RemoveAll();

    EXPECT_FALSE(WriteDumpEntry(std::string("through the link")));
    ProcessCleanupList().RemoveAll();
    EXPECT_EQ(Names(victim.Path()), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(test::ReadWholeFile(notes), "keep me");
    EXPECT_LE(FileStatus(notes).ModifyTime(), now - 20 * 86400);
  }
}

TEST_F(DumpLogTest, PurgeAtExitKeepsWhatThisRunWrote) {
  struct Case {
    std::string name;
    std::int64_t age;
    bool writtenTo;  // the hour's file, appended to by this run
    bool survives;
    bool readOnly = false;
  };
  const std::int64_t now = RealNow();
  fake.calendarStart = now;
  const std::vector<Case> cases = {
      {HourFileName(now), 365 * 86400, true, true},
      {"0101_00.txt", 20 * 86400, false, false},
      {"0101_01.txt", 9 * 86400, false, true},
      {"0101_02.txt", 20 * 86400, false, true, true},
  };
  for (const Case& c : cases) {
    scratch.WriteFile("Temp/Temp/DbgDump/WZ/" + c.name, "last year\r\n");
    SetAge(Dump(c.name), now, c.age);
    const fs::perms write =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (c.readOnly) fs::permissions(Dump(c.name), write, fs::perm_options::remove);
  }
  ProcessCleanupList().RemoveAll();
  EXPECT_TRUE(WriteDumpEntry(std::string("this run")));
  // Queued while old; the exit purge finds the hour's file written since.
  EXPECT_EQ(ProcessCleanupList().Sources().size(), 2u);
  ProcessCleanupList().RemoveAll();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(test::Exists(Dump(c.name)), c.survives);
    if (c.writtenTo) {
      EXPECT_EQ(test::ReadWholeFile(Dump(c.name)), "last year\r\n" + Entry(now, "this run"));
    }
  }
}

TEST_F(DumpLogTest, SharedFoldersAndFileAreOpenToEveryUserWhateverTheUmask) {
  if (platform::kWindows) GTEST_SKIP() << "Windows folders keep their inherited permissions";
  constexpr auto kShared = fs::perms::all | fs::perms::sticky_bit;
  constexpr auto kFile = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                         fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
  struct Case {
    std::uint32_t umask;
    bool ownTemp;  // the first level exists already, made by someone else
  };
  const std::int64_t t = fake.CalendarTime();
  for (const Case& c : {Case{022, false}, Case{077, false}, Case{0777, true}}) {
    SCOPED_TRACE(c.umask);
    test::ScratchFolder base;
    platform::ScopedSharedDocuments sharedDocuments(base.Path());
    if (c.ownTemp) fs::create_directory(base.Join("Temp"));
    const std::uint32_t previous = platform::SetFileCreationMaskForTesting(c.umask);
    EXPECT_TRUE(WriteDumpEntry(std::string("shared")));
    platform::SetFileCreationMaskForTesting(previous);
    std::string level = base.Path();
    for (const char* name : {"Temp", "Temp", "DbgDump", "WZ"}) {
      level += std::string("/") + name;
      const bool made = !(c.ownTemp && level == base.Join("Temp"));
      EXPECT_EQ(fs::status(level).permissions() == kShared, made) << level;
    }
    EXPECT_EQ(fs::status(level + "/" + HourFileName(t)).permissions(), kFile);
  }
}

// Run in a child process as another user, one with no account entry (as a
// container started with a bare user id has it): writes one entry.
TEST(DumpLogChild, DISABLED_WriteAsOtherUser) {
  const std::string base = test::ChildArgument("other-user-base");
  if (base.empty()) return;
  ASSERT_TRUE(platform::BecomeUserForTesting(4'000'000));
  ASSERT_EQ(UserName(), "");
  platform::ScopedSharedDocuments sharedDocuments(base);
  EXPECT_TRUE(WriteDumpEntry(std::string("from user 4000000")));
}

TEST_F(DumpLogTest, SecondUsersRecordArrives) {
  if (platform::kWindows || UserName() != "root") {
    GTEST_SKIP() << "needs root on POSIX to start a second user";
  }
  const std::string setting = test::ReadWholeFile("/proc/sys/fs/protected_regular");
  RecordProperty("protected_regular", setting);
  // The real clock throughout, as the child has it.
  platform::ScopedServices real(platform::RealServices());
  platform::ScopedSharedDocuments sharedDocuments(scratch.Path());
  const std::uint32_t previous = platform::SetFileCreationMaskForTesting(077);
  fs::permissions(scratch.Path(), fs::perms::all);
  EXPECT_TRUE(WriteDumpEntry(std::string("from root, first")));
  EXPECT_EQ(test::RunTestsInChildren("DumpLogChild.DISABLED_WriteAsOtherUser", "other-user-base",
                                     {scratch.Path()}),
            std::vector<int>{0});
  // Where fs.protected_regular is set, only an open without O_CREAT lets
  // root append to a file that the other user made.
  EXPECT_TRUE(WriteDumpEntry(std::string("from root, last")));
  platform::SetFileCreationMaskForTesting(previous);
  std::string all;
  for (const auto& item : fs::directory_iterator(Dump())) {
    all += test::ReadWholeFile(item.path().string());
  }
  for (const char* text : {"from root, first", "from user 4000000", "from root, last"}) {
    EXPECT_NE(all.find(text), std::string::npos)
        << text << " (protected_regular " << setting << ")";
  }
}

// Run in a child process as user 4242: the first entry, then how many old
// files it queued, against the count its argument names.
TEST(DumpLogChild, DISABLED_FirstEntryAmongOldNames) {
  const std::string argument = test::ChildArgument("old-names");
  if (argument.empty()) return;
  const std::size_t bar = argument.find('|');
  ASSERT_TRUE(platform::BecomeUserForTesting(4242));
  platform::ScopedSharedDocuments sharedDocuments(argument.substr(0, bar));
  EXPECT_TRUE(WriteDumpEntry(std::string("first")));
  EXPECT_EQ(ProcessCleanupList().SharedFilesQueued(), std::stoul(argument.substr(bar + 1)));
  ProcessCleanupList().RemoveAll();
}

// Another user's old names are never queued, and no process queues more than
// so many: the first entry's cost does not grow with what others leave.
TEST_F(DumpLogTest, OnlyRemovableOldNamesAreQueuedAndNoMoreThanSoMany) {
  if (!test::IgnoresPermissions()) GTEST_SKIP() << "needs root on POSIX to plant as others";
  platform::ScopedServices real(platform::RealServices());
  EXPECT_TRUE(WriteDumpEntry(std::string("the tree")));
  fs::permissions(scratch.Path(), fs::perms::all);
  struct Case {
    int theirs;
    int own;
    std::size_t queued;
  };
  for (const Case& c : {Case{300, 100, 100}, Case{0, 300, kMostSharedFilesQueued}}) {
    SCOPED_TRACE(c.own);
    fs::remove_all(Dump());
    ASSERT_TRUE(CreateDirectoryTree(Dump()));
    fs::permissions(Dump(), fs::perms::all | fs::perms::sticky_bit);
    for (int i = 0; i < c.theirs + c.own; ++i) {
      const std::string name = Dump() + "/" + std::to_string(i) + ".txt";
      std::ofstream(name) << "old";
      fs::last_write_time(name, fs::file_time_type::clock::now() - std::chrono::hours(24 * 20));
      ASSERT_TRUE(test::GiveToUser(name, i < c.theirs ? 65534 : 4242));
    }
    EXPECT_EQ(test::RunTestsInChildren("DumpLogChild.DISABLED_FirstEntryAmongOldNames", "old-names",
                                       {scratch.Path() + "|" + std::to_string(c.queued)}),
              std::vector<int>{0});
    // What the child removed at its end was its own.
    std::size_t left = 0;
    for (const auto& item : fs::directory_iterator(Dump()))
      left += item.path().extension() == ".txt";
    EXPECT_EQ(left, static_cast<std::size_t>(c.theirs + c.own) - c.queued + 1);
  }
}

std::string plantedPath;
void PlantFileBeforeCreate() {
  std::ofstream(plantedPath, std::ios::binary) << "their header\r\n";
}

TEST_F(DumpLogTest, ExistingFileOpensWithoutAskingToCreateIt) {
  struct Case {
    const char* name;
    bool existing;        // another user's file is there from the start
    bool refuseCreating;  // the kernel refuses creating opens of it
    bool raceCreate;      // another process makes it just before we do
  };
  const std::int64_t t = fake.CalendarTime();
  for (const Case& c : {Case{"missing", false, true, false}, Case{"existing", true, true, false},
                        Case{"made by another first", false, true, true}}) {
    SCOPED_TRACE(c.name);
    test::ScratchFolder base;
    platform::ScopedSharedDocuments sharedDocuments(base.Path());
    const std::string file = base.Join("Temp/Temp/DbgDump/WZ/" + HourFileName(t));
    fs::create_directories(fs::path(file).parent_path());
    if (c.existing) base.WriteFile("Temp/Temp/DbgDump/WZ/" + HourFileName(t), "their header\r\n");
    plantedPath = file;
    platform::SharedFileSeams seams;
    seams.refuseCreatingOpenOfExisting = c.refuseCreating;
    seams.beforeCreate = c.raceCreate ? PlantFileBeforeCreate : nullptr;
    platform::SetSharedFileSeamsForTesting(seams);
    const bool stored = WriteDumpEntry(std::string("ours"));
    platform::SetSharedFileSeamsForTesting(platform::SharedFileSeams{});
    EXPECT_TRUE(stored);
    const std::string start = c.existing || c.raceCreate ? "their header\r\n" : Header(t);
    EXPECT_EQ(test::ReadWholeFile(file), start + Entry(t, "ours"));
  }
  EXPECT_EQ(fake.sleeps.size(), 0u);
}

// Run in a child process: the first record of a process, or folder trees
// and then a record, into a base that has no dump folders yet. The children
// wait at a gate so that they start together.
TEST(DumpLogChild, DISABLED_FirstRecord) {
  const std::string argument = test::ChildArgument("first-record");
  if (argument.empty()) return;
  std::vector<std::string> fields;
  for (std::size_t from = 0, end = 0; end != std::string::npos; from = end + 1) {
    end = argument.find('|', from);
    fields.push_back(argument.substr(from, end - from));
  }
  ASSERT_EQ(fields.size(), 4u);
  const std::string& base = fields[0];
  const std::string& gate = fields[3];
  std::ofstream(gate + "/ready-" + fields[2]) << "ready";
  for (int i = 0; i < 30'000 && !test::Exists(gate + "/go"); ++i) {
    platform::RealServices().Sleep(1);
  }
  platform::ScopedSharedDocuments sharedDocuments(base);
  for (int tree = 0; fields[1] == "tree" && tree < 10; ++tree) {
    EXPECT_TRUE(CreateDirectoryTree(base + "/work/" + std::to_string(tree) + "/a/b/c"));
  }
  EXPECT_TRUE(WriteDumpEntry("first record " + fields[2] + ";"));
}

TEST_F(DumpLogTest, ProcessesMakingTheSameFoldersAtOnceAllSucceed) {
  const int writers = platform::kWindows ? 8 : 24;
  for (const char* what : {"record", "tree"}) {
    SCOPED_TRACE(what);
    test::ScratchFolder base;
    test::ScratchFolder gate;
    std::vector<std::string> arguments;
    for (int i = 0; i < writers; ++i) {
      arguments.push_back(base.Path() + "|" + what + "|" + std::to_string(i) + "|" + gate.Path());
    }
    std::vector<int> statuses;
    std::thread children([&] {
      statuses =
          test::RunTestsInChildren("DumpLogChild.DISABLED_FirstRecord", "first-record", arguments);
    });
    for (int i = 0; i < 60'000 && Names(gate.Path()).size() < static_cast<std::size_t>(writers);
         i += 10) {
      platform::RealServices().Sleep(10);
    }
    gate.WriteFile("go", "go");
    children.join();
    EXPECT_EQ(statuses, std::vector<int>(static_cast<std::size_t>(writers), 0));
    std::string all;
    for (const auto& item : fs::directory_iterator(base.Join("Temp/Temp/DbgDump/WZ"))) {
      all += test::ReadWholeFile(item.path().string());
    }
    for (int i = 0; i < writers; ++i) {
      EXPECT_NE(all.find("first record " + std::to_string(i) + ";"), std::string::npos) << i;
    }
    EXPECT_EQ(all.find("Can't create"), std::string::npos);
  }
}

}  // namespace
}  // namespace quill
