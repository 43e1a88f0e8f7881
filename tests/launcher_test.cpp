// The launcher's cycles, converter launch and shell runner, driven with the
// fake clock and a recording process start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "environment/directory_tree.h"
#include "environment/dump_log.h"
#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "environment/time_format.h"
#include "launcher/converter_launch.h"
#include "launcher/cycles.h"
#include "launcher/shell_runner.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/testing.h"
#include "progress/progress_indicator.h"
#include "support/current_folder.h"
#include "support/fake_services.h"
#include "support/programs.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

// Points the temporary folder into a scratch folder for one test.
class LauncherCycle : public ::testing::Test {
 protected:
  void SetUp() override { ProgressIndicator::ResetSharedState(); }

  std::string InputPath() {
    return WorkFolderUnderTemp() + FormatTime(fake_.CalendarTime(), "%H%M%S") + ".in_";
  }

  test::ScratchFolder scratch_;
  test::ScopedEnvironmentValue tmp_{"TMP", scratch_.Path().c_str()};
  test::FakeServices fake_;
};

TEST_F(LauncherCycle, OutputDuringTheFirstSleepMeansOneStart) {
  fake_.calendarStart = 1'765'000'000;
  const std::string input = InputPath();
  fake_.onSleep = [&] {
    if (fake_.sleeps.size() == 1) CreateEmptyFile(input + ".out");
  };
  EXPECT_TRUE(RunCycle());

  EXPECT_TRUE(PathExists(input));
  EXPECT_EQ(FileStatus(input).Size(), 0);
  ASSERT_EQ(fake_.starts.size(), 1u);
  EXPECT_EQ(fake_.sleeps, std::vector<std::uint32_t>{handoff::kPollPauseMs});
  const test::RecordedStart& start = fake_.starts[0];
  EXPECT_FALSE(start.hasOperation);
  EXPECT_EQ(start.showCommand, 1);
  EXPECT_EQ(start.parameters, QuoteIfNeeded(input));
  if (PathExists(test::ProgramBesideTests("kestrel"))) {
    EXPECT_EQ(start.file, test::ProgramBesideTests("kestrel"));
  }
  // The first step comes before 100 ms have passed: nothing is drawn.
  EXPECT_EQ(fake_.errorOutput, "");
}

TEST_F(LauncherCycle, MissingOutputGivesAHundredPollsAndAHundredAndOneStarts) {
  EXPECT_TRUE(RunCycle());
  EXPECT_EQ(fake_.sleeps.size(), handoff::kPollsPerCycle);
  EXPECT_EQ(fake_.SleptMs(), handoff::kPollsPerCycle * handoff::kPollPauseMs);
  EXPECT_EQ(fake_.starts.size(), handoff::kPollsPerCycle + 1);
  // Progress lines only: rewritten in place, erased at the end, no line feed.
  const std::string& shown = fake_.errorOutput;
  EXPECT_EQ(shown.find('\n'), std::string::npos);
  EXPECT_NE(shown.find("wait  ...    ( 50 / 100 )    **********..........\r"), std::string::npos);
  const std::string lastLine = "wait  ...    ( 100 / 100 )    ********************\r";
  const std::string erase = std::string(lastLine.size(), ' ') + "\r";
  ASSERT_GE(shown.size(), lastLine.size() + erase.size());
  EXPECT_EQ(shown.substr(shown.size() - erase.size()), erase);
  EXPECT_EQ(shown.substr(shown.size() - erase.size() - lastLine.size(), lastLine.size()), lastLine);
}

TEST_F(LauncherCycle, ASecondCycleInTheSameSecondClearsOnlyTheExactNames) {
  const std::string input = InputPath();
  ASSERT_TRUE(CreateDirectoryTree(WorkFolderUnderTemp()));
  std::FILE* old = platform::OpenStream(input.c_str(), "wb");
  ASSERT_NE(old, nullptr);
  std::fputs("old input", old);
  std::fclose(old);
  ASSERT_TRUE(CreateEmptyFile(input + ".out"));
  ASSERT_TRUE(CreateEmptyFile(input + ".000.out"));
  EXPECT_TRUE(RunCycle());
  EXPECT_TRUE(PathExists(input));
  EXPECT_EQ(FileStatus(input).Size(), 0);
  EXPECT_FALSE(PathExists(input + ".out"));
  EXPECT_TRUE(PathExists(input + ".000.out"));
  EXPECT_EQ(fake_.starts.size(), 101u);
}

TEST_F(LauncherCycle, TenCyclesEndNormally) {
  fake_.onStart = [&](const test::RecordedStart& start) {
    // A converter that answers at once, so every cycle ends at its first poll.
    CreateEmptyFile(platform::SplitCommandLine(start.parameters).at(0) + ".out");
  };
  EXPECT_TRUE(RunCycles());
  EXPECT_EQ(fake_.starts.size(), 10u);
  EXPECT_EQ(fake_.sleeps.size(), 10u);
}

TEST(WorkFolder, NamedAfterTheProgramStem) {
  EXPECT_EQ(handoff::WorkFolderBelow("C:\\t", "C:\\bin\\launcher.exe"),
            "C:\\t\\r_Quill.tmp\\launcher\\");
  EXPECT_EQ(handoff::WorkFolderBelow("C:\\t\\", "/opt/bin/launcher"),
            "C:\\t\\r_Quill.tmp\\launcher\\");
  // A program name with "?" has no stem.
  EXPECT_EQ(handoff::WorkFolderBelow("C:\\t\\", "C:\\bin\\la?ncher.exe"), "C:\\t\\r_Quill.tmp\\");
  EXPECT_EQ(handoff::WorkFolderBelow("/tmp/u", "/bin/launcher"), "/tmp/u\\r_Quill.tmp\\launcher\\");
}

// The names that launcher makes are the names that kestrel and the report
// take apart: each one made and parsed back.
TEST(HandOffNames, MadeAndTakenApartInOnePlace) {
  EXPECT_EQ(handoff::AlternativeWorkFolder("P", "C:\\bin\\launcher.exe"),
            "P\\Temp\\Temp\\r_Quill.tmp\\launcher");
  EXPECT_EQ(handoff::DumpFolder("P\\"), "P\\Temp\\Temp\\DbgDump\\WZ\\");
  const std::string input = handoff::InputPath("W", "083015");
  EXPECT_EQ(input, "W\\083015.in_");
  EXPECT_TRUE(handoff::IsInputName("083015.IN_"));
  struct Case {
    std::string name;
    bool numbered;
    std::string input;
  };
  for (const Case& c :
       {Case{handoff::OutputPath(input), false, input},
        Case{handoff::NumberedName(input, 7, "out"), true, input},
        Case{handoff::NumberedName(input, 1007, "out"), true, input},
        Case{input + ".07.out", true, ""}, Case{input + ".0a7.out", true, ""},
        Case{input + ".007.out", false, input + ".007"}, Case{input + ".ou", false, ""}}) {
    EXPECT_EQ(handoff::InputOfOutput(c.name, c.numbered), c.input) << c.name;
  }
}

TEST_F(LauncherCycle, UncreatableWorkFolderFallsBackToSharedDocuments) {
  std::string blocker = scratch_.WriteFile("blocker");
  test::ScopedEnvironmentValue tmp("TMP", blocker.c_str());
  // In place of the shared documents folder, whose Temp levels the fallback makes.
  platform::ScopedSharedDocuments sharedDocuments(scratch_.Path());
  std::string expected = AddTrailingSeparator(scratch_.Path(), '\\') + "Temp\\Temp\\r_Quill.tmp\\" +
                         PathStem(ModulePath()) + "\\";
  EXPECT_EQ(MakeWorkFolder(), expected);
}

TEST(QuoteIfNeeded, QuotesTextThatWouldSplit) {
  EXPECT_EQ(QuoteIfNeeded("C:\\w\\083015.in_"), "C:\\w\\083015.in_");
  EXPECT_EQ(QuoteIfNeeded("C:\\Documents and Settings\\u\\083015.in_"),
            "\"C:\\Documents and Settings\\u\\083015.in_\"");
  EXPECT_EQ(QuoteIfNeeded("a,b"), "\"a,b\"");
  EXPECT_EQ(QuoteIfNeeded("a\tb"), "\"a\tb\"");
  EXPECT_EQ(QuoteIfNeeded("a\nb"), "\"a\nb\"");
  EXPECT_EQ(QuoteIfNeeded("a\rb"), "\"a\rb\"");
  EXPECT_EQ(QuoteIfNeeded("\"a b\""), "\"a b\"");
  EXPECT_EQ(QuoteIfNeeded("'a b'"), "'a b'");
  EXPECT_EQ(QuoteIfNeeded("\"a b"), "\"\"a b\"");
  EXPECT_EQ(QuoteIfNeeded("\"a b'"), "\"\"a b'\"");
  EXPECT_EQ(QuoteIfNeeded(""), "");
  EXPECT_EQ(QuoteIfNeeded(" "), "\" \"");
}

TEST(ShellRunner, ReportsARefusalWithTheShellsText) {
  EXPECT_EQ(ShellErrorReport(2, "", "C:\\bin\\kestrel.exe", "\"C:\\a b\\1.in_\""),
            "The specified file was not found.\nOperation=\"\"\nFile=\"C:\\bin\\kestrel.exe\"\n"
            "Paramaters=\"\"C:\\a b\\1.in_\"\"");
  EXPECT_EQ(ShellErrorReport(12, "open", "f", "p"),
            "Error\nf\np\nOperation=\"open\"\nFile=\"f\"\nParamaters=\"p\"");
  EXPECT_EQ(ShellErrorReport(31, "", "", "").substr(0, 41),
            "There is no application associated with t");
  EXPECT_EQ(ShellErrorReport(0, "", "", "").substr(0, 14), "The operating ");
  // A converter without execute permission: the user's only clue.
  EXPECT_EQ(ShellErrorReport(5, "", "k", "").substr(0, 58),
            "The operating system denied access to the specified file.\n");
  // Every documented code has its whole sentence.
  for (int code : {0, 2, 3, 5, 8, 11, 26, 27, 28, 29, 30, 31, 32}) {
    const std::string report = ShellErrorReport(code, "", "", "");
    EXPECT_EQ(report.substr(report.find('\n') - 1, 2), ".\n") << code;
  }
  // The one text written in two pieces.
  const std::string busy = ShellErrorReport(30, "", "", "");
  EXPECT_EQ(busy.substr(0, busy.find('\n')),
            "The DDE transaction could not be completed because other DDE transactions were "
            "being processed.");
}

// A refused start shows the plain quoting of the path on every system, while
// the start itself gets the path whole where no shell splits it.
TEST(LaunchConverter, RefusalShowsThePlainQuotingOfThePath) {
  test::ScratchFolder scratch;
  platform::ScopedSharedDocuments sharedDocuments(scratch.Path());
  test::FakeServices fake;
  fake.shellResult = 2;
  const std::string dumpFile =
      scratch.Join("Temp/Temp/DbgDump/WZ/" + handoff::HourFileName(fake.CalendarTime()));
  for (const auto& [input, shown] :
       {std::pair<std::string, std::string>{"C:\\a b\\1.in_", "\"C:\\a b\\1.in_\""},
        {"/tmp/q\"x y/1.in_", "\"/tmp/q\"x y/1.in_\""},
        {"/tmp/q\"x/1.in_", "/tmp/q\"x/1.in_"},
        {"\"/tmp/a b\"", "\"/tmp/a b\""}}) {
    SCOPED_TRACE(input);
    fake.starts.clear();
    LaunchConverter(input);
    const std::string dump = test::ReadWholeFile(dumpFile);
    const std::string ending = "\tParamaters=\"" + shown + "\"\r\n";
    EXPECT_EQ(dump.substr(dump.size() - std::min(dump.size(), ending.size())), ending);
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(platform::kWindows ? std::vector<std::string>{fake.starts[0].parameters}
                                 : platform::SplitCommandLine(fake.starts[0].parameters),
              std::vector<std::string>{platform::kWindows ? shown : input});
  }
}

TEST(ShellRunner, PassesItsSettingsToTheShell) {
  test::FakeServices fake;
  {
    ShellRunner runner;
    runner.SetParameters("C:\\w");
    EXPECT_TRUE(runner.Execute());
    ASSERT_EQ(fake.starts.size(), 1u);
    // No file: the parameters name what to open, and there are none left.
    EXPECT_EQ(fake.starts[0].file, "C:\\w");
    EXPECT_FALSE(fake.starts[0].hasParameters);
    EXPECT_FALSE(fake.starts[0].hasOperation);
  }
  {
    ShellRunner runner;
    EXPECT_TRUE(runner.SetOperation(""));
    EXPECT_TRUE(runner.SetShowCommand(0));
    std::string self = ModulePath();
    EXPECT_TRUE(runner.SetFile(self.c_str()));
    EXPECT_TRUE(runner.SetParameters("x"));
    fake.shellResult = 2;
    EXPECT_FALSE(runner.Execute());
    ASSERT_EQ(fake.starts.size(), 2u);
    EXPECT_TRUE(fake.starts[1].hasOperation);
    EXPECT_EQ(fake.starts[1].operation, "");
    EXPECT_EQ(fake.starts[1].file, self);
    EXPECT_EQ(fake.starts[1].parameters, "x");
    EXPECT_EQ(fake.starts[1].showCommand, 0);
    fake.shellResult = 32;  // the highest code that is a refusal
    EXPECT_FALSE(runner.Execute());
    fake.shellResult = 33;
    EXPECT_TRUE(runner.Execute());
  }
  {
    // A start form stands in only for the parameters it was set after.
    ShellRunner runner;
    runner.SetStartParameters("given");
    runner.Execute();
    runner.Explore("next");
    ASSERT_EQ(fake.starts.size(), 6u);
    EXPECT_EQ(fake.starts[4].file, "given");
    EXPECT_EQ(fake.starts[5].parameters, "next");
  }
}

TEST(FindProgram, LooksInTheSystemFoldersOnlyForPrograms) {
  test::ScratchFolder scratch;
  std::string beside = scratch.WriteFile(std::string("tool") + platform::kProgramSuffix);
  EXPECT_EQ(FindProgram(beside), beside);
  std::string missing = scratch.Join("nothing-here.bat");
  EXPECT_EQ(FindProgram(missing), missing);

  // A program that the system folders hold, asked for under a missing folder.
  std::string leaf = platform::kWindows ? "notepad.exe" : "true";
  std::string windows = AddTrailingSeparator(SpecialFolder(CSIDL_WINDOWS), '\\') + leaf;
  std::string system = AddTrailingSeparator(SpecialFolder(CSIDL_SYSTEM), '\\') + leaf;
  std::string expected = PathExists(windows) ? windows : PathExists(system) ? system : "";
  if (expected.empty()) GTEST_SKIP() << leaf << " is in neither system folder";
  std::string asked = scratch.Join("missing") + "\\" + leaf;
  EXPECT_EQ(FindProgram(asked), expected);
}

// On POSIX the fixed program files names are relative, so a scratch folder as
// the current folder can hold them.
TEST(FindProgram, TakesTheFixedProgramFilesFolders) {
  if (platform::kWindows) GTEST_SKIP() << "those are the machine's own folders";
  test::ScratchFolder scratch;
  scratch.WriteFile("C:/Program Files/one");
  scratch.WriteFile("C:/Program Files (x86)/two");
  test::CurrentFolderScope inScratch(scratch.Path());
  EXPECT_EQ(FindProgram("one"), "C:\\Program Files\\one");
  EXPECT_EQ(FindProgram("two"), "C:\\Program Files (x86)\\two");
}

}  // namespace
}  // namespace quill
