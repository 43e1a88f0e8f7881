// Faults and hostile input met by the real library code, with the fake clock:
// a blocked dump folder, a dump file that is unavailable for a while, links
// planted at hand-off names, over-long paths and broken multibyte text.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>

#include "environment/directory_tree.h"
#include "environment/dump_log.h"
#include "environment/special_folders.h"
#include "environment/time_format.h"
#include "kestrel/free_file_name.h"
#include "launcher/converter_launch.h"
#include "launcher/cycles.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"
#include "platform/platform.h"
#include "progress/progress_indicator.h"
#include "support/fake_clock_test.h"
#include "support/fake_services.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

std::string DumpFileIn(const std::string& base, std::int64_t time) {
  return base + "\\Temp\\Temp\\DbgDump\\WZ\\" + FormatTime(time, "%m%d_%H") + ".txt";
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
  SetDumpFolderBaseForTesting(blocker);
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
  for (const Case& c : {Case{"nothing", true}, Case{"own private folder", true},
                        Case{"link to a folder", false}, Case{"folder writable by all", false}}) {
    SCOPED_TRACE(c.planted);
    const std::string planted = c.planted;
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
    const std::string alternative = scratch.MakeFolder("alternative");
    SetAlternativeWorkBaseForTesting(alternative);
    const std::string folder = MakeWorkFolder();
    if (c.used) {
      EXPECT_EQ(folder, WorkFolderBelow(mine, ModulePath()));
      EXPECT_EQ(fs::status(mine).permissions(), fs::perms::owner_all);
    } else {
      EXPECT_EQ(folder,
                alternative + "\\Temp\\Temp\\r_Quill.tmp\\" + PathStem(ModulePath()) + "\\");
      // The shared levels are open to every user, whatever this umask.
      EXPECT_EQ(fs::status(alternative + "/Temp/Temp").permissions(),
                fs::perms::all | fs::perms::sticky_bit);
      const std::string dump = ReadLibraryFile(DumpFileIn(scratch.Path(), fake.CalendarTime()));
      EXPECT_NE(dump.find("\tCan't create \\tmp\\" + user + "\r\n"), std::string::npos) << dump;
      // Its shared Temp levels were made or found, never reported as unmade.
      EXPECT_EQ(dump.find("\\Temp\r\n"), std::string::npos) << dump;
      EXPECT_TRUE(fs::is_empty(victim));
    }
    fs::remove_all(mine);
    fs::remove_all(alternative);
  }
}

TEST_F(Hardening, DumpFileUnavailableForAWhile) {
  const std::string file = DumpFileIn(scratch.Path(), fake.CalendarTime());
  ASSERT_TRUE(CreateDirectoryTree(PathFolder(file)));
  // A folder at the file's name: no open for appending succeeds, whoever asks.
  ASSERT_TRUE(platform::MakeDirectory(file.c_str()));
  const std::uint64_t start = fake.elapsedMs;
  fake.onSleep = [&] {
    if (fake.elapsedMs - start == 2000) platform::RemoveFolder(file.c_str());
  };
  EXPECT_TRUE(WriteDumpEntry(std::string("after two seconds")));
  EXPECT_EQ(fake.SleptMs(), 2000u);
  EXPECT_NE(ReadLibraryFile(file).find("\tafter two seconds\r\n"), std::string::npos);

  // Longer than the 10 s allowed, in the next hour's file: the record is
  // dropped and nothing else changes.
  const std::string before = ReadLibraryFile(file);
  fake.onSleep = nullptr;
  fake.sleeps.clear();
  fake.Advance(3600 * 1000);
  const std::string nextHour = DumpFileIn(scratch.Path(), fake.CalendarTime());
  ASSERT_NE(nextHour, file);
  ASSERT_TRUE(platform::MakeDirectory(nextHour.c_str()));
  EXPECT_FALSE(WriteDumpEntry(std::string("dropped")));
  EXPECT_EQ(fake.SleptMs(), 10'000u);
  EXPECT_TRUE(FolderExists(nextHour));
  EXPECT_EQ(ReadLibraryFile(file), before);
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
