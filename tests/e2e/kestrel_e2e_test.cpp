// Runs the built kestrel program with the real clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "paths/path_strings.h"
#include "platform/environment.h"
#include "platform/services.h"
#include "platform/testing.h"
#include "support/path_helpers.h"
#include "support/programs.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::EntryNames;
using test::Exists;
using test::ScratchFolder;
using test::WithForeignSeparators;

// One run of kestrel and the clock around it.
struct Run {
  int status = -1;
  std::int64_t firstSecond = 0;
  std::int64_t lastSecond = 0;
  std::uint32_t elapsedMs = 0;
};

// Waits for the clock to enter a second whose count leaves `remainder` when
// divided by 3, so that a run started now most likely decides in that second.
void AwaitSecond(std::int64_t remainder) {
  platform::Services& system = platform::System();
  std::int64_t second = system.CalendarTime();
  for (int polls = 0; polls < 1000; ++polls) {
    system.Sleep(5);
    const std::int64_t now = system.CalendarTime();
    if (now != second && now % 3 == remainder) return;
    second = now;
  }
}

Run RunKestrel(const std::string& parameters) {
  platform::Services& system = platform::System();
  Run run;
  run.firstSecond = system.CalendarTime();
  const std::uint32_t startTick = system.TickCount();
  run.status = platform::RunAndWait(test::ProgramBesideTests("kestrel"), parameters);
  run.elapsedMs = system.TickCount() - startTick;
  run.lastSecond = system.CalendarTime();
  return run;
}

// True when some second from `first` to `last` is (or is not) divisible by 3.
bool SomeSecond(std::int64_t first, std::int64_t last, bool divisible) {
  for (std::int64_t second = first; second <= last; ++second) {
    if ((second % 3 == 0) == divisible) return true;
  }
  return false;
}

// Runs kestrel on `input`, aiming at starts that produce (or do not), until
// one start did as aimed; checks every run against the seconds it could have
// read. True when the aimed case was seen.
bool RunUntil(bool produce, const std::string& input, const std::string& parameters,
              const std::string& outputFolder, const std::set<std::string>& before) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    AwaitSecond(produce ? 0 : 1);
    const Run run = RunKestrel(parameters);
    EXPECT_EQ(run.status, 0);
    const bool produced = EntryNames(outputFolder) != before;
    if (produced) {
      // It read the clock at least 3 s before it ended.
      EXPECT_GE(run.elapsedMs, 2950u);
      EXPECT_TRUE(SomeSecond(run.firstSecond, run.lastSecond - 3, true))
          << run.firstSecond << ".." << run.lastSecond;
    } else {
      EXPECT_GE(run.elapsedMs, 450u);
      EXPECT_TRUE(SomeSecond(run.firstSecond, run.lastSecond, false))
          << run.firstSecond << ".." << run.lastSecond;
    }
    if (produced == produce) return true;
  }
  ADD_FAILURE() << "kestrel never " << (produce ? "produced" : "skipped") << " for " << input;
  return false;
}

TEST(KestrelProgram, WithoutAnArgumentEndsAndCreatesNothing) {
  ScratchFolder scratch;
  const fs::path previous = fs::current_path();
  fs::current_path(scratch.Path());
  EXPECT_EQ(platform::RunAndWait(test::ProgramBesideTests("kestrel"), ""), 0);
  fs::current_path(previous);
  EXPECT_TRUE(EntryNames(scratch.Path()).empty());
}

TEST(KestrelProgram, OutputInSecondsDivisibleByThreeOnly) {
  ScratchFolder scratch;
  // The output folder is missing, its name holds a blank, and the input is
  // written with the separator this system does not use natively.
  const std::string outputFolder = scratch.Join("out folder");
  const std::string input =
      WithForeignSeparators(outputFolder) + (platform::kWindows ? "/" : "\\") + "083015.in_";
  const std::string ignored = scratch.Join("ignored.in_");
  const std::string parameters = Surround(input, '"') + " " + Surround(ignored, '"');

  RunUntil(false, input, parameters, outputFolder, {});
  EXPECT_FALSE(Exists(outputFolder));

  if (RunUntil(true, input, parameters, outputFolder, {})) {
    EXPECT_EQ(EntryNames(outputFolder), std::set<std::string>{"083015.in_.out"});
    EXPECT_EQ(fs::file_size(fs::path(outputFolder) / "083015.in_.out"), 0u);
    // An existing output is never overwritten.
    const std::set<std::string> first = EntryNames(outputFolder);
    if (RunUntil(true, input, parameters, outputFolder, first)) {
      EXPECT_EQ(EntryNames(outputFolder),
                (std::set<std::string>{"083015.in_.out", "083015.in_.000.out"}));
    }
  }
  EXPECT_EQ(EntryNames(scratch.Path()), std::set<std::string>{"out folder"});
}

}  // namespace
}  // namespace quill
