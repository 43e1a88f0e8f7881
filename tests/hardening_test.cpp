// Faults and hostile input met by the real library code, with the fake clock:
// a blocked dump folder, a dump file that is unavailable for a while, links
// planted at hand-off names, over-long paths and broken multibyte text.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "environment/directory_tree.h"
#include "environment/dump_log.h"
#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "environment/time_format.h"
#include "kestrel/free_file_name.h"
#include "launcher/converter_launch.h"
#include "launcher/cycles.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/testing.h"
#include "progress/progress_indicator.h"
#include "support/fake_clock_test.h"
#include "support/fake_services.h"
#include "support/plants.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

std::string DumpFileIn(const std::string& base, std::int64_t time) {
  return handoff::DumpFolder(base) + handoff::HourFileName(time);
}

std::string ReadLibraryFile(const std::string& path) {
  std::FILE* file = platform::OpenStream(path.c_str(), "rb");
  if (file == nullptr) return std::string();
  std::string content;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  std::fclose(file);
  return content;
}

using Hardening = testing::FakeClockTest;

TEST_F(Hardening, BlockedDumpFolderAndTempFolderStillGiveTenCycles) {
  // An ordinary file stands where the dump folder and the work folder must go.
  const std::string blocker = scratch.WriteFile("blocker");
  platform::ScopedSharedDocuments sharedDocuments(blocker);
  testing::ScopedEnvironmentValue tmp("TMP", blocker.c_str());
  fake.shellResult = 2;  // and the converter cannot be started

  EXPECT_TRUE(RunCycles());
  EXPECT_EQ(fake.starts.size(), 1010u);
  // Every record gave up after its 10 s of retries, and none re-entered.
  std::uint64_t retryPauses = 0;
  for (std::uint32_t ms : fake.sleeps) retryPauses += ms == 100 ? 1 : 0;
  EXPECT_EQ(retryPauses % 100, 0u);
  EXPECT_GE(retryPauses, 100u * 10 * 103);
  EXPECT_TRUE(testing::Exists(blocker));
}

TEST_F(Hardening, RecordsOfTheFallbackAndOfRefusedStartsArrive) {
  const std::string blocker = scratch.WriteFile("blocker");
  testing::ScopedEnvironmentValue tmp("TMP", blocker.c_str());
  fake.shellResult = 2;
  fake.onStart = [&](const testing::RecordedStart& start) {
    if (fake.starts.size() == 2) CreateEmptyFile(start.parameters + ".out");
  };
  const std::int64_t now = fake.CalendarTime();
  EXPECT_TRUE(RunCycle());

  const std::string dump = ReadLibraryFile(DumpFileIn(scratch.Path(), now));
  // The folder in the way, the alternative work folder, the refused start.
  EXPECT_NE(dump.find("\tCan't create " + NormalizeSeparators(blocker) + "\r\n"), std::string::npos)
      << dump;
  EXPECT_NE(dump.find("\\Temp\\Temp\\r_Quill.tmp\\" + PathStem(ModulePath()) + "\r\n"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("\tThe specified file was not found.\tOperation=\"\"\tFile=\""),
            std::string::npos)
      << dump;
}

// The folder named after the user under /tmp can be made first by anyone:
// only a private folder of this user's is taken, anything else sends the
// work to the alternative folder, recorded, and leaves the planted folder or
// the link's target as it was.
TEST_F(Hardening, FolderOfTheUserUnderTmpIsUsedOnlyWhenPrivate) {
  if (platform::kWindows) GTEST_SKIP() << "Windows always reports a temporary path";
  namespace fs = std::filesystem;
  testing::ScopedEnvironmentValue tmp("TMP", nullptr);
  testing::ScopedEnvironmentValue tmpdir("TMPDIR", nullptr);
  testing::ScopedEnvironmentValue temp("TEMP", nullptr);
  const std::string victim = scratch.MakeFolder("victim");
  const std::string user = "quill-private-" + PathLeaf(scratch.Path());
  const std::string mine = "/tmp/" + user;
  struct Case {
    const char* planted;  // what stands at the name before the run
    bool used;
  };
  for (const Case& c :
       {Case{"nothing", true}, Case{"own private folder", true}, Case{"link to a folder", false},
        Case{"folder writable by all", false}, Case{"plain file", false}}) {
    SCOPED_TRACE(c.planted);
    const std::string planted = c.planted;
    const std::string dumpFile = DumpFileIn(scratch.Path(), fake.CalendarTime());
    platform::RemoveFile(dumpFile.c_str());
    if (planted == "plain file") std::ofstream(mine) << "in the way";
    if (planted == "own private folder") {
      fs::create_directory(mine);
      fs::permissions(mine, fs::perms::owner_all);
    }
    if (planted == "link to a folder") fs::create_directory_symlink(victim, mine);
    if (planted == "folder writable by all") {
      fs::create_directory(mine);
      fs::permissions(mine, fs::perms::all);
    }
    testing::ScopedEnvironmentValue userValue("USER", user.c_str());
    // The fixture's shared documents folder, below which the dump goes too.
    const std::string alternative = scratch.Path();
    const std::string folder = MakeWorkFolder();
    if (c.used) {
      EXPECT_EQ(folder, handoff::WorkFolderBelow(mine, ModulePath()));
      EXPECT_EQ(fs::status(mine).permissions(), fs::perms::owner_all);
    } else {
      EXPECT_EQ(folder,
                alternative + "\\Temp\\Temp\\r_Quill.tmp\\" + PathStem(ModulePath()) + "\\");
      // The shared levels are open to every user, whatever this umask.
      for (const std::string level :
           {"/Temp/Temp", "/Temp/Temp/r_Quill.tmp", "/Temp/Temp/r_Quill.tmp/quill_tests"}) {
        EXPECT_EQ(fs::status(alternative + level).permissions(),
                  fs::perms::all | fs::perms::sticky_bit)
            << level;
      }
      // One refusal and the alternative, behind a header that names the
      // refused folder: the work folder below it is never tried, so there is
      // no second "Can't create" for the same folder.
      std::istringstream dump(ReadLibraryFile(dumpFile));
      std::vector<std::string> lines;
      for (std::string line; std::getline(dump, line);) lines.push_back(line);
      ASSERT_EQ(lines.size(), 3u) << dump.str();
      EXPECT_NE(
          lines[0].find("\t" + UserName() + "\t\t" + mine + "\t\t" + CurrentFolder() + "\t\t"),
          std::string::npos)
          << lines[0];
      EXPECT_EQ(lines[1].substr(lines[1].rfind('\t')), "\tCan't create \\tmp\\" + user + "\r");
      EXPECT_EQ(lines[2].substr(lines[2].rfind('\t')),
                "\t" + alternative + "\\Temp\\Temp\\r_Quill.tmp\\" + PathStem(ModulePath()) + "\r");
      EXPECT_TRUE(fs::is_empty(victim));
    }
    fs::remove_all(mine);
    fs::remove_all(alternative + "/Temp");
  }
}

// Stands for another process holding the dump file until the fake clock
// reaches `heldUntilMs`.
testing::FakeServices* holderClock = nullptr;
std::uint64_t heldUntilMs = 0;
bool HeldElsewhere() {
  return holderClock->elapsedMs < heldUntilMs;
}

TEST_F(Hardening, DumpFileHeldForAWhileIsWaitedForAtMostTenSeconds) {
  holderClock = &fake;
  platform::SharedFileSeams seams;
  seams.heldElsewhere = HeldElsewhere;
  platform::SetSharedFileSeamsForTesting(seams);
  const std::string file = DumpFileIn(scratch.Path(), fake.CalendarTime());
  struct Case {
    std::uint64_t holdMs;
    bool stored;
    std::uint64_t sleptMs;
  };
  for (const Case& c : {Case{2000, true, 2000}, Case{12'000, false, 10'000}}) {
    SCOPED_TRACE(c.holdMs);
    fake.sleeps.clear();
    heldUntilMs = fake.elapsedMs + c.holdMs;
    const std::string before = ReadLibraryFile(file);
    EXPECT_EQ(WriteDumpEntry(std::string("held ") + std::to_string(c.holdMs)), c.stored);
    EXPECT_EQ(fake.SleptMs(), c.sleptMs);
    EXPECT_EQ(ReadLibraryFile(file).size() > before.size(), c.stored);
  }
  platform::SetSharedFileSeamsForTesting(platform::SharedFileSeams{});
}

// Another user's names at every hand-off name: each is refused on the first
// try, nothing is written through it, no open waits on a FIFO, and none
// answers a cycle.
TEST_F(Hardening, PlantedNamesAreRefusedAtOnceLeftAloneAndAnswerNoCycle) {
  using testing::Plant;
  const std::string victim = scratch.WriteFile("victim.txt", "keep me");
  testing::ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
  int planted = 0;
  for (Plant plant :
       {Plant::kFifo, Plant::kSocket, Plant::kFolder, Plant::kHardLink, Plant::kSymbolicLink}) {
    SCOPED_TRACE(testing::PlantName(plant));
    // The hour's dump file, a fresh hour for each plant: dropped at once.
    fake.Advance(3600 * 1000);
    const std::string hour = DumpFileIn(scratch.Path(), fake.CalendarTime());
    ASSERT_TRUE(CreateDirectoryTree(PathFolder(hour)));
    if (!testing::MakePlant(plant, hour, victim)) continue;  // not on this system
    ++planted;
    fake.sleeps.clear();
    EXPECT_FALSE(WriteDumpEntry(std::string("planted")));
    EXPECT_EQ(fake.SleptMs(), 0u);

    // A cycle's input, or any output name: not created, not truncated.
    const std::string input = scratch.Join(std::string("in-") + testing::PlantName(plant));
    ASSERT_TRUE(testing::MakePlant(plant, input, victim));
    EXPECT_FALSE(CreateEmptyFile(input));

    // Planted at the output name after the cycle cleared it: never an answer.
    const std::string output =
        WorkFolderUnderTemp() + FormatTime(fake.CalendarTime(), "%H%M%S") + ".in_.out";
    fake.starts.clear();
    fake.onSleep = [&] {
      if (fake.sleeps.size() == 1) testing::MakePlant(plant, output, victim);
    };
    RunCycle();
    fake.onSleep = nullptr;
    EXPECT_EQ(fake.starts.size(), 101u);
    EXPECT_EQ(testing::ReadWholeFile(victim), "keep me");
  }
  EXPECT_GE(planted, platform::kWindows ? 1 : 5);
}

TEST_F(Hardening, AnInputThatCannotBeCreatedIsRecordedOncePerCycle) {
  testing::ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
  const std::int64_t start = fake.CalendarTime();
  const std::string input = WorkFolderUnderTemp() + FormatTime(start, "%H%M%S") + ".in_";
  // A folder at the name survives the cycle's removal of the old input.
  ASSERT_TRUE(CreateDirectoryTree(input));
  RunCycle();
  const std::string dump = ReadLibraryFile(DumpFileIn(scratch.Path(), start));
  const std::string entry = "\tCan't create " + input + "\r\n";
  const std::size_t first = dump.find(entry);
  ASSERT_NE(first, std::string::npos) << dump;
  EXPECT_EQ(dump.find(entry, first + 1), std::string::npos) << dump;
}

TEST_F(Hardening, LinkPlantedAtTheInputNameLeavesItsTargetAlone) {
  if (platform::kWindows) GTEST_SKIP() << "symbolic links are planted on POSIX";
  testing::ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
  const std::string victim = scratch.WriteFile("victim.txt", "precious");
  const std::string input = WorkFolderUnderTemp() + FormatLocalTime("%H%M%S") + ".in_";
  ASSERT_TRUE(CreateDirectoryTree(WorkFolderUnderTemp()));
  std::string systemInput = input;
  for (char& c : systemInput) c = c == '\\' ? '/' : c;
  std::filesystem::create_symlink(victim, systemInput);
  std::filesystem::create_symlink(victim, systemInput + ".000.out");
  fake.onStart = [&](const testing::RecordedStart&) {
    if (fake.starts.size() == 1) {
      EXPECT_TRUE(CreateEmptyFile(FreeFileName(input + ".out")));
    }
  };
  EXPECT_TRUE(RunCycle());
  EXPECT_EQ(testing::ReadWholeFile(victim), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(systemInput));
  EXPECT_EQ(FileStatus(input).Size(), 0);
  // A dangling link at a free name is refused, not followed.
  const std::string nowhere = scratch.Join("nowhere");
  std::filesystem::create_symlink(nowhere, systemInput + ".001.out");
  EXPECT_FALSE(CreateEmptyFile(input + ".001.out"));
  EXPECT_FALSE(testing::Exists(nowhere));
}

TEST_F(Hardening, OverlongPathsHaveDefinedResults) {
  const std::string longName(300, 'x');
  const std::string deep = scratch.Path() + "\\" + longName + "\\" + longName + ".in_";
  EXPECT_EQ(PathLeaf(deep), longName + ".in_");
  EXPECT_EQ(PathExtension(deep), "in_");
  EXPECT_EQ(LongPathOf(deep), deep);
  EXPECT_FALSE(PathExists(deep));
  EXPECT_FALSE(FolderExists(deep));
  EXPECT_TRUE(FileStatus(deep).Failed());
  EXPECT_FALSE(CreateEmptyFile(deep));
  EXPECT_EQ(FreeFileName(deep + ".out"), deep + ".out");
  EXPECT_EQ(QuoteIfNeeded(deep), deep);
  char small[8];
  EXPECT_FALSE(CopyToBuffer(small, sizeof small, deep.c_str()));
  EXPECT_EQ(std::string(small), deep.substr(0, 7));
  const std::string wide(5000, '\\');
  EXPECT_EQ(NormalizeSeparators(wide), "\\");
  EXPECT_TRUE(CreateDirectoryTree(wide));
}

TEST_F(Hardening, BrokenMultibyteTextUnderUtf8) {
  if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr && std::setlocale(LC_ALL, ".65001") == nullptr) {
    GTEST_SKIP() << "no UTF-8 locale";
  }
  const std::string broken[] = {"a\xC3",  "\xFF\xFE\\",   "dir\\\xE2\x82",
                                "\xC3\\", "\xF0\x9F\x98", "\x80\x80\x80/"};
  for (const std::string& text : broken) {
    const char last = LastChar(text);
    EXPECT_EQ(last, text.back()) << text;
    const std::string withSeparator = AddTrailingSeparator(text, '\\');
    EXPECT_TRUE(withSeparator == text || withSeparator == text + "\\") << text;
    EXPECT_EQ(ToLower(text).size(), text.size()) << text;
    EXPECT_EQ(JoinStrings(SplitString(text, '\\'), '\\') + (text.back() == '\\' ? "\\" : ""), text);
    EXPECT_FALSE(PathExists(text + "\\missing\xC3"));
  }
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace quill
