// Faults and hostile input met by the real library code, with the fake clock:
// a blocked dump folder, a dump file that is unavailable for a while, links
// planted at hand-off names, over-long paths and broken multibyte text.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
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
#include "support/path_helpers.h"
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

using Hardening = test::FakeClockTest;

TEST_F(Hardening, BlockedDumpFolderAndTempFolderStillGiveTenCycles) {
  // An ordinary file stands where the dump folder and the work folder must go.
  const std::string blocker = scratch.WriteFile("blocker");
  platform::ScopedSharedDocuments sharedDocuments(blocker);
  test::ScopedEnvironmentValue tmp("TMP", blocker.c_str());
  fake.shellResult = 2;  // and the converter cannot be started

  EXPECT_TRUE(RunCycles());
  EXPECT_EQ(fake.starts.size(), 1010u);
  // Every record gave up after its 10 s of retries, and none re-entered.
  std::uint64_t retryPauses = 0;
  for (std::uint32_t ms : fake.sleeps) retryPauses += ms == 100 ? 1 : 0;
  EXPECT_EQ(retryPauses % 100, 0u);
  EXPECT_GE(retryPauses, 100u * 10 * 103);
  EXPECT_TRUE(test::Exists(blocker));
}

TEST_F(Hardening, RecordsOfTheFallbackAndOfRefusedStartsArrive) {
  const std::string blocker = scratch.WriteFile("blocker");
  test::ScopedEnvironmentValue tmp("TMP", blocker.c_str());
  fake.shellResult = 2;
  fake.onStart = [&](const test::RecordedStart& start) {
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
  test::ScopedEnvironmentValue tmp("TMP", nullptr);
  test::ScopedEnvironmentValue tmpdir("TMPDIR", nullptr);
  test::ScopedEnvironmentValue temp("TEMP", nullptr);
  const std::string victim = scratch.MakeFolder("victim");
  const std::string user = "quill-private-" + PathLeaf(scratch.Path());
  const std::string mine = "/tmp/" + user;
  // Whatever stands at the name goes with the test, also when an assertion
  // ends it early.
  struct RemovedAtEnd {
    std::string path;
    ~RemovedAtEnd() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } const cleanUp{mine};
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
    test::ScopedEnvironmentValue userValue("USER", user.c_str());
    // The fixture's shared documents folder, below which the dump goes too.
    const std::string alternative = scratch.Path();
    const std::string folder = MakeWorkFolder();
    if (c.used) {
      EXPECT_EQ(folder, handoff::WorkFolderBelow(mine, ModulePath()));
      EXPECT_EQ(fs::status(mine).permissions(), fs::perms::owner_all);
    } else {
      EXPECT_EQ(folder,
                alternative + "\\Temp\\Temp\\r_Quill.tmp\\" + PathStem(ModulePath()) + "\\");
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
      // The cycle makes the shared levels, open to every user whatever this
      // umask.
      RunCycle();
      for (const std::string level :
           {"/Temp/Temp", "/Temp/Temp/r_Quill.tmp", "/Temp/Temp/r_Quill.tmp/quill_tests"}) {
        EXPECT_EQ(fs::status(alternative + level).permissions(),
                  fs::perms::all | fs::perms::sticky_bit)
            << level;
      }
    }
    fs::remove_all(mine);
    fs::remove_all(alternative + "/Temp");
  }
}

// Stands for another process holding the dump file until the fake clock
// reaches `heldUntilMs`.
test::FakeServices* holderClock = nullptr;
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

// What another user may leave at the hour's file: the open is tried again,
// with its pauses and its line, for what may go away, and the record is
// stored once it has; a FIFO, a link or a second name drops the record at
// once, since trying again would wait for ever or write through it.
TEST_F(Hardening, PlantsAtTheHourFileAreRetriedUnlessTheOpenWouldDoHarm) {
  using test::Plant;
  namespace fs = std::filesystem;
  const std::string victim = scratch.WriteFile("victim.txt", "keep me");
  enum Kind { kPlant, kReadOnlyFile, kFileAtTheFolder };
  struct Case {
    const char* name;
    Kind kind;
    Plant plant;
    bool retried;
  };
  int planted = 0;
  for (const Case& c :
       {Case{"folder", kPlant, Plant::kFolder, true}, Case{"socket", kPlant, Plant::kSocket, true},
        Case{"no permission", kReadOnlyFile, Plant::kFolder, true},
        Case{"level not a folder", kFileAtTheFolder, Plant::kFolder, true},
        Case{"FIFO", kPlant, Plant::kFifo, false},
        Case{"symbolic link", kPlant, Plant::kSymbolicLink, false},
        Case{"second name", kPlant, Plant::kHardLink, false}}) {
    SCOPED_TRACE(c.name);
    // A base of its own for each row, so that no walk holds its levels yet.
    const std::string base = scratch.MakeFolder(c.name);
    platform::ScopedSharedDocuments documents(base);
    const std::string hour = DumpFileIn(base, fake.CalendarTime());
    const std::string planted_at = c.kind == kFileAtTheFolder ? PathFolder(hour) : hour;
    ASSERT_TRUE(CreateDirectoryTree(PathFolder(planted_at)));
    std::function<void()> removePlant = [&] { fs::remove(test::NativeSpelling(planted_at)); };
    if (c.kind == kPlant) {
      if (!test::MakePlant(c.plant, hour, victim)) continue;  // not on this system
    } else if (c.kind == kReadOnlyFile) {
      std::ofstream(test::NativeSpelling(hour)).close();
      platform::SetAttributes(hour.c_str(), platform::kAttributeReadOnly);
      // Root, and Wine run as root, may write it all the same.
      if (std::ofstream(test::NativeSpelling(hour), std::ios::app)) continue;
      removePlant = [&] {
        platform::SetAttributes(hour.c_str(), platform::kAttributeNormal);
        fs::remove(test::NativeSpelling(hour));
      };
    } else {
      std::ofstream(test::NativeSpelling(planted_at)) << "in the way";
    }
    ++planted;
    fake.sleeps.clear();
    fake.errorOutput.clear();
    fake.onSleep = [&] {
      fake.Advance(1);  // each pause runs over, as real ones do
      if (c.retried && fake.SleptMs() == 1500) removePlant();
    };
    EXPECT_EQ(WriteDumpEntry(std::string("planted")), c.retried);
    fake.onSleep = nullptr;
    EXPECT_EQ(fake.SleptMs(), c.retried ? 1500u : 0u);
    const std::string& line = fake.errorOutput;
    if (c.retried) {
      EXPECT_EQ(line.rfind("::Open_File ...    ( 1 / 100 )", 0), 0u) << line;
      const std::size_t lastReturn = line.find_last_of('\r', line.size() - 2);
      ASSERT_NE(lastReturn, std::string::npos);
      EXPECT_EQ(line.substr(lastReturn + 1), std::string(line.size() - lastReturn - 2, ' ') + "\r");
      EXPECT_NE(ReadLibraryFile(hour).find("\tplanted\r\n"), std::string::npos);
    } else {
      EXPECT_EQ(line, "");
      removePlant();
      // Nothing of the refused open is kept: on Windows a handle kept open
      // would stop the plant's target from being renamed.
      const std::string moved = victim + ".moved";
      fs::rename(test::NativeSpelling(victim), test::NativeSpelling(moved));
      fs::rename(test::NativeSpelling(moved), test::NativeSpelling(victim));
    }
    EXPECT_EQ(test::ReadWholeFile(victim), "keep me");
  }
  EXPECT_GE(planted, platform::kWindows ? 3 : 6);
}

// Another user's names at the cycle's input and output: none is written
// through or waited on, and any name at the output ends the wait at the
// first poll, as a real output does.
TEST_F(Hardening, PlantedNamesAreLeftAloneAndAnyNameAtTheOutputAnswers) {
  using test::Plant;
  const std::string victim = scratch.WriteFile("victim.txt", "keep me");
  test::ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
  for (Plant plant :
       {Plant::kFifo, Plant::kSocket, Plant::kFolder, Plant::kHardLink, Plant::kSymbolicLink}) {
    SCOPED_TRACE(test::PlantName(plant));
    fake.Advance(1000);
    const std::string input = scratch.Join(std::string("in-") + test::PlantName(plant));
    if (!test::MakePlant(plant, input, victim)) continue;  // not on this system
    EXPECT_FALSE(CreateEmptyFile(input));

    const std::string output =
        WorkFolderUnderTemp() + FormatTime(fake.CalendarTime(), "%H%M%S") + ".in_.out";
    fake.starts.clear();
    fake.sleeps.clear();
    fake.onSleep = [&] {
      if (fake.sleeps.size() == 1) test::MakePlant(plant, output, victim);
    };
    RunCycle();
    fake.onSleep = nullptr;
    EXPECT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(test::ReadWholeFile(victim), "keep me");
  }
}

// The entries of a cycle whose folders cannot be made are exactly these: the
// preferred folder's, the alternative's path, then the first level of the
// alternative that cannot be made. A link at a level of the alternative is
// such a level, and nothing is made, emptied or removed where it points. An
// input that cannot be made in a folder that exists leaves no entry. (The
// two Temp levels are the dump folder's too: blocked, no entry is stored.)
TEST_F(Hardening, UncreatableFoldersAndInputsGiveTheirEntriesOnly) {
  namespace fs = std::filesystem;
  const std::string blocker = scratch.WriteFile("blocker");
  const std::string stem = PathStem(ModulePath());
  const std::vector<std::string> levels = {"Temp", "Temp", "r_Quill.tmp", stem};
  const std::string victim = scratch.MakeFolder("victim");
  const std::string stamp = FormatTime(fake.CalendarTime(), "%H%M%S");
  for (const std::string& name : {std::string("keep.txt"), stamp + ".in_", stamp + ".in_.out"}) {
    std::ofstream(test::NativeSpelling(victim + "/" + name)) << "keep me";
  }
  struct Case {
    int level;  // of the alternative, -1 for none
    bool link;  // a link to the victim there, else a plain file
  };
  for (const Case& c : {Case{1, false}, Case{2, false}, Case{3, false}, Case{0, true},
                        Case{1, true}, Case{2, true}, Case{3, true}, Case{-1, false}}) {
    const std::string row = std::to_string(c.level) + (c.link ? " link" : " file");
    SCOPED_TRACE(row);
    // A base of its own for each row: the dump folder of the last one stays
    // held, and on Windows cannot be removed while it is.
    const std::string base = scratch.MakeFolder("documents " + row);
    platform::ScopedSharedDocuments documents(base);
    std::string level = base;
    for (int i = 0; i < c.level; ++i) level += "\\" + levels[static_cast<std::size_t>(i)];
    if (c.level >= 0) {
      level += "\\" + levels[static_cast<std::size_t>(c.level)];
      ASSERT_TRUE(CreateDirectoryTree(PathFolder(level)));
      if (c.link && !platform::MakeLinkForTesting(victim, level, true)) continue;
      if (!c.link) std::ofstream(test::NativeSpelling(level)) << "in the way";
    }
    test::ScopedEnvironmentValue tmp("TMP",
                                     c.level >= 0 ? blocker.c_str() : scratch.Path().c_str());
    if (c.level < 0) {  // a folder at the input's name in the preferred folder
      ASSERT_TRUE(CreateDirectoryTree(WorkFolderUnderTemp() + stamp + ".in_"));
    }
    const std::string dumpFile = DumpFileIn(base, fake.CalendarTime());
    platform::RemoveFile(dumpFile.c_str());
    RunCycle();

    std::vector<std::string> entries;
    std::istringstream dump(ReadLibraryFile(dumpFile));
    for (std::string line; std::getline(dump, line);) {
      const std::size_t text = line.find('\t', line.find('\t') + 1);
      if (line.find("\t\t") == std::string::npos) entries.push_back(line.substr(text + 1));
    }
    std::vector<std::string> expected;
    if (c.level >= 2) {
      expected = {
          "Can't create " + NormalizeSeparators(blocker) + "\r",
          RemoveTrailingSeparator(handoff::AlternativeWorkFolder(base, ModulePath())) + "\r",
          "Can't create " + NormalizeSeparators(level) + "\r"};
    }
    EXPECT_EQ(entries, expected);
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(test::NativeSpelling(victim))) {
      ++count;
      EXPECT_EQ(test::ReadWholeFile(entry.path().string()), "keep me");
    }
    EXPECT_EQ(count, 3u);
    fs::remove(test::NativeSpelling(level));
  }
}

// A name of the cycle's second that another user made in the shared work
// folder stays, whoever runs the cycle; the user's own go.
TEST_F(Hardening, ACycleRemovesOnlyItsUsersOwnNames) {
  const std::string blocker = scratch.WriteFile("blocker");
  test::ScopedEnvironmentValue tmp("TMP", blocker.c_str());
  const std::string folder = handoff::AlternativeWorkFolder(scratch.Path(), ModulePath());
  ASSERT_TRUE(CreateDirectoryTree(folder));
  const std::string input = folder + "\\" + FormatTime(fake.CalendarTime(), "%H%M%S") + ".in_";
  for (const bool foreign : {true, false}) {
    SCOPED_TRACE(foreign ? "another user's" : "own");
    for (const std::string& name : {input, input + ".out"}) {
      std::ofstream(test::NativeSpelling(name)) << "theirs";
      if (foreign && !test::GiveToUser(name, 4242)) GTEST_SKIP() << "needs root on POSIX";
    }
    RunCycle();
    EXPECT_EQ(test::ReadWholeFile(test::NativeSpelling(input)), foreign ? "theirs" : "");
    EXPECT_EQ(std::filesystem::exists(test::NativeSpelling(input + ".out")), foreign);
    platform::RemoveFile(input.c_str());
    std::filesystem::remove(test::NativeSpelling(input));
    std::filesystem::remove(test::NativeSpelling(input + ".out"));
  }
}

// A link on the way to a file: followed where only its owner could have put
// it, refused as a folder that cannot be made where other users may write.
TEST_F(Hardening, LinksOnSharedGroundAreNotFollowedToMakeAFile) {
  if (platform::kWindows) GTEST_SKIP() << "symbolic links are planted on POSIX";
  namespace fs = std::filesystem;
  const std::string victim = scratch.MakeFolder("victim");
  const std::string shared = scratch.MakeFolder("shared");
  fs::permissions(test::NativeSpelling(shared), fs::perms::all | fs::perms::sticky_bit);
  for (const std::string& holder : {shared, scratch.Path()}) {
    const bool refused = holder == shared;
    SCOPED_TRACE(refused ? "shared" : "own");
    const std::string link = holder + "/link";
    ASSERT_TRUE(platform::MakeLinkForTesting(victim, link, true));
    const std::int64_t now = fake.CalendarTime();
    EXPECT_EQ(CreateEmptyFile(link + "/sub/x.in_.out"), !refused);
    EXPECT_EQ(fs::exists(test::NativeSpelling(victim + "/sub/x.in_.out")), !refused);
    const std::string dump = ReadLibraryFile(DumpFileIn(scratch.Path(), now));
    EXPECT_EQ(
        dump.find("\tCan't create " + NormalizeSeparators(link) + "\r\n") != std::string::npos,
        refused)
        << dump;
    fs::remove(test::NativeSpelling(link));
    fs::remove_all(test::NativeSpelling(victim + "/sub"));
  }
}

// A temporary folder whose name holds a wildcard is refused alike by every
// step, so each cycle makes its input in the alternative.
TEST_F(Hardening, AWildcardInTheTemporaryFolderSendsEveryCycleToTheAlternative) {
  test::ScopedEnvironmentValue tmp("TMP", scratch.Join("a*b").c_str());
  for (int cycle = 0; cycle < 2; ++cycle) {
    const std::string stamp = FormatTime(fake.CalendarTime(), "%H%M%S");
    RunCycle();
    EXPECT_TRUE(std::filesystem::exists(test::NativeSpelling(
        handoff::AlternativeWorkFolder(scratch.Path(), ModulePath()) + "/" + stamp + ".in_")))
        << cycle;
  }
}

TEST_F(Hardening, LinkPlantedAtTheInputNameLeavesItsTargetAlone) {
  if (platform::kWindows) GTEST_SKIP() << "symbolic links are planted on POSIX";
  test::ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
  const std::string victim = scratch.WriteFile("victim.txt", "precious");
  const std::string input = WorkFolderUnderTemp() + FormatLocalTime("%H%M%S") + ".in_";
  ASSERT_TRUE(CreateDirectoryTree(WorkFolderUnderTemp()));
  std::string systemInput = input;
  for (char& c : systemInput) c = c == '\\' ? '/' : c;
  std::filesystem::create_symlink(victim, systemInput);
  std::filesystem::create_symlink(victim, systemInput + ".000.out");
  fake.onStart = [&](const test::RecordedStart&) {
    if (fake.starts.size() == 1) {
      EXPECT_TRUE(CreateEmptyFile(FreeFileName(input + ".out")));
    }
  };
  EXPECT_TRUE(RunCycle());
  EXPECT_EQ(test::ReadWholeFile(victim), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(systemInput));
  EXPECT_EQ(FileStatus(input).Size(), 0);
  // A dangling link at a free name is refused, not followed.
  const std::string nowhere = scratch.Join("nowhere");
  std::filesystem::create_symlink(nowhere, systemInput + ".001.out");
  EXPECT_FALSE(CreateEmptyFile(input + ".001.out"));
  EXPECT_FALSE(test::Exists(nowhere));
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
