#include "environment/dump_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "environment/special_folders.h"
#include "environment/time_format.h"
#include "filetree/cleanup_list.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/platform.h"
#include "progress/progress_indicator.h"
#include "support/child_process.h"
#include "support/fake_clock_test.h"
#include "support/fake_services.h"
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

class DumpLogTest : public testing::FakeClockTest {
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

TEST_F(DumpLogTest, FirstEntryOfTheHourStartsTheFileWithTheHeader) {
  const std::int64_t t = fake.CalendarTime();
  EXPECT_TRUE(WriteDumpEntry(std::string("two\nlines\r\nend")));
  const std::string first = Header(t) + Entry(t, "two\tlines\t\tend");
  EXPECT_EQ(testing::ReadWholeFile(HourFile(t)), first);

  fake.Advance(5000);
  EXPECT_TRUE(WriteDumpEntry("second"));
  EXPECT_TRUE(WriteDumpEntry(static_cast<const char*>(nullptr)));
  EXPECT_EQ(testing::ReadWholeFile(HourFile(t)), first + Entry(t + 5, "second") + Entry(t + 5, ""));
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
  EXPECT_EQ(testing::ReadWholeFile(HourFile(last)), Header(last) + Entry(last, "before"));
  EXPECT_EQ(testing::ReadWholeFile(HourFile(last + 1)),
            Header(last + 1) + Entry(last + 1, "after"));

  // A record on a new file gets the header; its own bytes go in unchanged.
  fake.Advance(3600 * 1000);
  const std::int64_t later = fake.CalendarTime();
  EXPECT_TRUE(WriteDumpRecord(""));
  EXPECT_EQ(testing::ReadWholeFile(HourFile(later)), Header(later));
  EXPECT_TRUE(WriteDumpRecord("raw\n"));
  EXPECT_EQ(testing::ReadWholeFile(HourFile(later)), Header(later) + "raw\n");
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
  EXPECT_TRUE(testing::Exists(old));

  fake.Advance(2000);
  EXPECT_TRUE(WriteDumpEntry(std::string("second")));
  EXPECT_EQ(list.Sources().size(), 2u);
  list.RemoveAll();
  EXPECT_FALSE(testing::Exists(old));
  EXPECT_FALSE(testing::Exists(oldInWz));
  EXPECT_TRUE(testing::Exists(younger));
  EXPECT_TRUE(testing::Exists(other));
}

TEST_F(DumpLogTest, BlockedDumpFolderEndsWithoutARecord) {
  const std::string blocker = scratch.WriteFile("Temp", "in the way");
  // Creating the folder fails and reports it, which comes back here once.
  EXPECT_FALSE(WriteDumpEntry(std::string("lost")));
  EXPECT_TRUE(WriteDumpEntry("lost too"));
  EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>(200, 100));
  EXPECT_EQ(testing::ReadWholeFile(blocker), "in the way");

  fs::remove(blocker);
  const std::int64_t t = fake.CalendarTime();
  EXPECT_TRUE(WriteDumpEntry(std::string("back")));
  EXPECT_EQ(testing::ReadWholeFile(HourFile(t)), Header(t) + Entry(t, "back"));
}

TEST_F(DumpLogTest, LinkAtTheFileNameIsNotWrittenThrough) {
  if (platform::kWindows) GTEST_SKIP() << "links at file names are a POSIX matter";
  const std::int64_t t = fake.CalendarTime();
  const std::string target = scratch.WriteFile("target.txt", "not for the log");
  fs::create_directories(Dump());
  fs::create_symlink(target, HourFile(t));
  EXPECT_FALSE(WriteDumpEntry(std::string("redirected")));
  EXPECT_EQ(testing::ReadWholeFile(target), "not for the log");
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
  const std::string argument = testing::ChildArgument(kWriterArgument);
  if (argument.empty()) return;
  const std::size_t first = argument.find('|');
  const std::size_t second = argument.find('|', first + 1);
  ASSERT_NE(second, std::string::npos);
  SetDumpFolderBaseForTesting(argument.substr(0, first));
  const int writer = std::stoi(argument.substr(first + 1, second - first - 1));
  const int records = std::stoi(argument.substr(second + 1));
  for (int record = 0; record < records; ++record) {
    EXPECT_TRUE(WriteDumpEntry(StressText(writer, record)));
  }
}

TEST_F(DumpLogTest, ManyProcessesAppendWholeRecordsExactlyOnce) {
  const int writers = platform::kWindows ? 8 : 20;
  const int records = platform::kWindows ? 100 : 200;
  std::vector<std::string> arguments;
  for (int writer = 0; writer < writers; ++writer) {
    arguments.push_back(scratch.Path() + "|" + std::to_string(writer) + "|" +
                        std::to_string(records));
  }
  testing::RunTestsInChildren(kWriterTest, kWriterArgument, arguments);

  // Every record's text, with how often it turned up.
  std::map<std::string, int> seen;
  for (int writer = 0; writer < writers; ++writer) {
    for (int record = 0; record < records; ++record) seen[StressText(writer, record)] = 0;
  }
  const std::string headerTail = HeaderTail();
  const std::string entryStart = ProgramName() + "\t";
  for (const auto& item : fs::directory_iterator(Dump())) {
    const std::string content = testing::ReadWholeFile(item.path().string());
    int headers = 0;
    for (std::size_t from = 0, end = 0; from < content.size(); from = end) {
      end = content.find("\r\n", from);
      ASSERT_NE(end, std::string::npos) << "unfinished last line";
      end += 2;
      const std::string line = content.substr(from, end - from);
      ASSERT_TRUE(line.size() > 20 && line[19] == '\t') << line.substr(0, 100);
      const std::string rest = line.substr(20);
      if (rest == headerTail) {
        ++headers;
        continue;
      }
      ASSERT_NE(from, 0u) << "the file must begin with its header";
      ASSERT_EQ(rest.compare(0, entryStart.size(), entryStart), 0) << line.substr(0, 100);
      const auto record =
          seen.find(rest.substr(entryStart.size(), rest.size() - entryStart.size() - 2));
      ASSERT_NE(record, seen.end()) << "torn record: " << line.substr(0, 100);
      ++record->second;
    }
    // Under the lock only one writer can find the file empty; on POSIX two
    // may, which leaves a second header line.
    if (platform::kWindows) {
      EXPECT_EQ(headers, 1);
    }
  }
  for (const auto& [text, count] : seen) EXPECT_EQ(count, 1) << text.substr(0, 12);
}

}  // namespace
}  // namespace quill
