// quill-report on what a real launcher run left: cycles against a missing
// converter, then the report program itself, in a process of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "environment/dump_log.h"
#include "environment/handoff_names.h"
#include "environment/time_format.h"
#include "launcher/converter_launch.h"
#include "launcher/cycles.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "platform/services.h"
#include "platform/testing.h"
#include "support/child_process.h"
#include "support/path_helpers.h"
#include "support/programs.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

constexpr int kCycles = 3;

// The real clock and process start, with each poll's pause 30 times shorter:
// a cycle of 100 polls takes about a second, and the files and dump entries
// carry real times, as the report needs.
class ShortPauses : public platform::Services {
 public:
  std::int64_t CalendarTime() override { return platform::RealServices().CalendarTime(); }
  std::uint32_t TickCount() override { return platform::RealServices().TickCount(); }
  void Sleep(std::uint32_t milliseconds) override {
    platform::RealServices().Sleep(milliseconds / 30);
  }
  platform::ShellResult ExecuteShellRequest(const platform::ShellRequest& request) override {
    return platform::RealServices().ExecuteShellRequest(request);
  }
  void WriteError(std::string_view bytes) override { platform::RealServices().WriteError(bytes); }
  // Folders stay where the services before these placed them.
  std::string SpecialFolderPath(void* owner, int folderId) override {
    return previous_.SpecialFolderPath(owner, folderId);
  }

 private:
  platform::Services& previous_ = platform::System();
};

// Run by the test below in a copy of this binary, named launcher, that has no
// converter beside it.
TEST(ReportOfMissingConverter, DISABLED_Cycles) {
  const std::string base = test::ChildArgument("dump-base");
  if (base.empty()) return;
  ShortPauses services;
  platform::ScopedServices scope(services);
  platform::ScopedSharedDocuments sharedDocuments(base);
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    // Each cycle in a second of its own: its own input name, and no dump
    // entry of it in the second the next one starts.
    const std::int64_t second = services.CalendarTime();
    while (services.CalendarTime() == second) platform::RealServices().Sleep(10);
    // File times come from a coarser clock than the calendar time, and can
    // lag it by some milliseconds: an input made right at the turn of the
    // second could bear the second before, and take that second's entries.
    platform::RealServices().Sleep(50);
    RunCycle();
  }
}

TEST(ReportOfMissingConverter, FailureCountsEqualTheDumpEntries) {
  test::ScratchFolder scratch;
  const std::string copy = scratch.MakeFolder("bin") + (platform::kWindows ? "\\" : "/") +
                           "launcher" + platform::kProgramSuffix;
  fs::copy_file(ModulePath(), copy);
  const std::string missing =
      AddTrailingSeparator(PathFolder(copy), '\\') + "kestrel" + platform::kProgramSuffix;
  if (FindProgram(missing) != missing) GTEST_SKIP() << "a converter is installed system-wide";
  const std::string base = scratch.MakeFolder("dump");
  const std::string temp = scratch.MakeFolder("tmp");
  test::ScopedEnvironmentValue tmp("TMP", temp.c_str());

  ASSERT_EQ(platform::RunAndWait(copy,
                                 "--gtest_also_run_disabled_tests --gtest_brief=1 "
                                 "--gtest_filter=ReportOfMissingConverter.DISABLED_Cycles "
                                 "\"--dump-base=" +
                                     base + "\""),
            0);
  const std::string wz = (fs::path(base) / "Temp" / "Temp" / "DbgDump" / "WZ").string();
  int refusals = 0;
  for (const auto& entry : fs::directory_iterator(wz)) {
    std::istringstream lines(test::ReadWholeFile(entry.path().string()));
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\tThe specified file was not found.\t") != std::string::npos) ++refusals;
    }
  }
  EXPECT_EQ(refusals, kCycles * 101);

  // Without a folder the report reads where launcher works.
  const std::string output = scratch.Join("report.json");
  const std::string errors = scratch.Join("report.err");
  EXPECT_EQ(platform::RunAndWait(test::ProgramBesideTests("quill-report"),
                                 "--json --dump-folder " + QuoteIfNeeded(wz), errors, output),
            1);
  std::istringstream lines(test::ReadWholeFile(output));
  std::vector<nlohmann::json> objects;
  for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objects.size(), kCycles + 1u) << test::ReadWholeFile(errors);
  int failures = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    EXPECT_EQ(objects[cycle]["answered"], false);
    EXPECT_EQ(objects[cycle]["outputs"], 0);
    EXPECT_EQ(objects[cycle]["failures"], 101);
    failures += objects[cycle]["failures"].get<int>();
  }
  EXPECT_EQ(failures, refusals);
  const nlohmann::json& summary = objects.back();
  std::string work = handoff::WorkFolderBelow(temp, copy);
  if (!platform::kWindows) std::replace(work.begin(), work.end(), '\\', '/');
  EXPECT_EQ(summary["folder"], work);
  EXPECT_EQ(summary["cycles"], kCycles);
  EXPECT_EQ(summary["unanswered"], kCycles);
  EXPECT_EQ(summary["failure_entries"], refusals);
  ASSERT_EQ(summary["failures"].size(), 1u);
  EXPECT_EQ(summary["failures"][0]["text"], "The specified file was not found.");
  EXPECT_EQ(summary["failures"][0]["count"], refusals);
  // The Windows runtime writes its text streams with CR LF.
  std::string said = test::ReadWholeFile(errors);
  said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
  EXPECT_EQ(said, "quill-report: read " + work + "\n");
}

// Standard output as a shell leaves it to quill-report, whose table here
// names 20 failure kinds of 50,000 bytes: far more than a pipe holds, so a
// reader that is gone is met for sure.
TEST(ReportProcess, StandardOutputFailuresAreStatusTwoAndAGoneReaderIsQuiet) {
  if (platform::kWindows) GTEST_SKIP() << "needs a POSIX shell and /dev/full";
  test::ScratchFolder scratch;
  const std::string work = scratch.MakeFolder("work"), dump = scratch.MakeFolder("dump");
  using namespace std::chrono;
  const auto startTime = floor<seconds>(system_clock::now()) - hours(1);
  const std::int64_t start = system_clock::to_time_t(startTime);
  fs::last_write_time(
      scratch.WriteFile("work/100000.in_"),
      fs::file_time_type::clock::now() + duration_cast<fs::file_time_type::duration>(
                                             startTime + milliseconds(500) - system_clock::now()));
  std::string entries;
  for (char kind = 'a'; kind < 'a' + 20; ++kind) {
    entries += FormatTime(start + 1, "%Y/%m/%d %H:%M:%S") + "\tlauncher\t" +
               std::string(50000, kind) + "\n";
  }
  scratch.WriteFile("dump/" + FormatTime(start, "%m%d_%H") + ".txt", entries);
  const std::string program = test::NativeSpelling(test::ProgramBesideTests("quill-report"));
  const std::string status = scratch.Join("status"), errors = scratch.Join("errors");
  const std::string report = "report() { '" + program + "' --dump-folder '" + dump + "' '" + work +
                             "' 2>'" + errors + "'; }\n";

  // Each script runs `report` and writes its exit status to $status.
  const std::vector<std::pair<std::string, int>> cases = {
      {"{ report; echo $? >\"$status\"; } | cat >/dev/null", 1},
      {"report >/dev/full; echo $? >\"$status\"", 2},
      {"report >&-; echo $? >\"$status\"", 2},
      {"(ulimit -f 1; report >\"$status.out\"; echo $? >\"$status\")", 2},  // no SIGXFSZ
      {"{ report; echo $? >\"$status\"; } | true", 1},                      // no SIGPIPE either
      {"{ trap '' PIPE; report; echo $? >\"$status\"; } | true", 1},
  };
  for (const auto& [script, expected] : cases) {
    SCOPED_TRACE(script);
    const std::string file =
        scratch.WriteFile("run.sh", "status='" + status + "'\n" + report + script + "\n");
    ASSERT_EQ(platform::RunAndWait("/bin/sh", QuoteIfNeeded(file)), 0);
    EXPECT_EQ(std::stoi(test::ReadWholeFile(status)), expected);
    const std::string said = test::ReadWholeFile(errors);
    // One line naming the failure; nothing when the reader is gone.
    EXPECT_EQ(said.substr(0, 48),
              expected == 2 ? "quill-report: cannot write the standard output: " : "");
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), expected == 2 ? 1 : 0) << said;
  }
}

// Past the file size limit (whose signal does not end the program) the
// earlier picture stays as it was, with nothing beside it.
TEST(ReportProcess, APictureCutShortLeavesTheEarlierOne) {
  if (platform::kWindows) GTEST_SKIP() << "needs a POSIX shell and ulimit";
  test::ScratchFolder scratch;
  const std::string work = scratch.MakeFolder("work");
  const std::string svg = scratch.WriteFile("pictures/run.svg", "the earlier picture");
  scratch.WriteFile("work/100000.in_");
  const std::string script = scratch.WriteFile(
      "run.sh", "ulimit -f 1; '" + test::NativeSpelling(test::ProgramBesideTests("quill-report")) +
                    "' --svg '" + svg + "' --dump-folder '" + work + "' '" + work +
                    "' >/dev/null 2>'" + scratch.Join("err") + "'; echo $? >'" +
                    scratch.Join("status") + "'\n");
  ASSERT_EQ(platform::RunAndWait("/bin/sh", QuoteIfNeeded(script)), 0);
  EXPECT_EQ(test::ReadWholeFile(scratch.Join("status")), "2\n");
  EXPECT_EQ(test::ReadWholeFile(scratch.Join("err")), "quill-report: cannot write " + svg + "\n");
  EXPECT_EQ(test::ReadWholeFile(svg), "the earlier picture");
  EXPECT_EQ(test::EntryNames(scratch.Join("pictures")), std::set<std::string>{"run.svg"});
}

}  // namespace
}  // namespace quill
