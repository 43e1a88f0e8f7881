// quill-report on what a real launcher run left: cycles against a missing
// converter, then the report program itself, in a process of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "environment/dump_log.h"
#include "launcher/converter_launch.h"
#include "launcher/cycles.h"
#include "paths/path_strings.h"
#include "platform/platform.h"
#include "support/child_process.h"
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
};

// Run by the test below in a copy of this binary, named launcher, that has no
// converter beside it.
TEST(ReportOfMissingConverter, DISABLED_Cycles) {
  const std::string base = testing::ChildArgument("dump-base");
  if (base.empty()) return;
  SetDumpFolderBaseForTesting(base);
  ShortPauses services;
  platform::ScopedServices scope(services);
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    // Each cycle in a second of its own: its own input name, and no dump
    // entry of it in the second the next one starts.
    const std::int64_t second = services.CalendarTime();
    while (services.CalendarTime() == second) platform::RealServices().Sleep(10);
    RunCycle();
  }
}

TEST(ReportOfMissingConverter, FailureCountsEqualTheDumpEntries) {
  testing::ScratchFolder scratch;
  const std::string copy = scratch.MakeFolder("bin") + (platform::kWindows ? "\\" : "/") +
                           "launcher" + platform::kProgramSuffix;
  fs::copy_file(ModulePath(), copy);
  const std::string missing =
      AddTrailingSeparator(PathFolder(copy), '\\') + "kestrel" + platform::kProgramSuffix;
  if (FindProgram(missing) != missing) GTEST_SKIP() << "a converter is installed system-wide";
  const std::string base = scratch.MakeFolder("dump");
  const std::string temp = scratch.MakeFolder("tmp");
  testing::ScopedEnvironmentValue tmp("TMP", temp.c_str());

  ASSERT_EQ(platform::RunAndWait(copy,
                                 "--gtest_also_run_disabled_tests --gtest_brief=1 "
                                 "--gtest_filter=ReportOfMissingConverter.DISABLED_Cycles "
                                 "\"--dump-base=" +
                                     base + "\""),
            0);
  const std::string wz = (fs::path(base) / "Temp" / "Temp" / "DbgDump" / "WZ").string();
  int refusals = 0;
  for (const auto& entry : fs::directory_iterator(wz)) {
    std::istringstream lines(testing::ReadWholeFile(entry.path().string()));
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\tThe specified file was not found.\t") != std::string::npos) ++refusals;
    }
  }
  EXPECT_EQ(refusals, kCycles * 101);

  // Without a folder the report reads where launcher works.
  const std::string output = scratch.Join("report.json");
  const std::string errors = scratch.Join("report.err");
  EXPECT_EQ(platform::RunAndWait(testing::ProgramBesideTests("quill-report"),
                                 "--json --dump-folder " + QuoteIfNeeded(wz), errors, output),
            1);
  std::istringstream lines(testing::ReadWholeFile(output));
  std::vector<nlohmann::json> objects;
  for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objects.size(), kCycles + 1u) << testing::ReadWholeFile(errors);
  int failures = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    EXPECT_EQ(objects[cycle]["answered"], false);
    EXPECT_EQ(objects[cycle]["outputs"], 0);
    EXPECT_EQ(objects[cycle]["failures"], 101);
    failures += objects[cycle]["failures"].get<int>();
  }
  EXPECT_EQ(failures, refusals);
  const nlohmann::json& summary = objects.back();
  std::string work = WorkFolderBelow(temp, copy);
  if (!platform::kWindows) std::replace(work.begin(), work.end(), '\\', '/');
  EXPECT_EQ(summary["folder"], work);
  EXPECT_EQ(summary["cycles"], kCycles);
  EXPECT_EQ(summary["unanswered"], kCycles);
  EXPECT_EQ(summary["failure_entries"], refusals);
  ASSERT_EQ(summary["failures"].size(), 1u);
  EXPECT_EQ(summary["failures"][0]["text"], "The specified file was not found.");
  EXPECT_EQ(summary["failures"][0]["count"], refusals);
  // The Windows runtime writes its text streams with CR LF.
  std::string said = testing::ReadWholeFile(errors);
  said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
  EXPECT_EQ(said, "quill-report: read " + work + "\n");
}

}  // namespace
}  // namespace quill
