// The real launcher with the real kestrel beside it, on the real clock.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/files.h"
#include "platform/testing.h"
#include "support/programs.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

std::vector<std::string> FileNamesIn(const std::string& folder) {
  std::vector<platform::FolderEntryStatus> entries;
  platform::ListFolder(AddTrailingSeparator(folder, '\\'), &entries);
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    if (entry.status.kind != platform::EntryKind::kFolder) names.push_back(entry.name);
  }
  return names;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(LauncherRun, TenCyclesAgainstTheRealConverter) {
  test::ScratchFolder scratch;
  test::ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
  std::string errors = scratch.Join("stderr.txt");

  int status =
      platform::RunAndWait(test::ProgramBesideTests("launcher"), "ignored --arguments", errors);
  EXPECT_EQ(status, 0);

  // Each cycle waits for its own output, which takes at least one 3-second
  // start of the converter, so the ten inputs have ten different stamps.
  std::string work = AddTrailingSeparator(scratch.Path(), '\\') + "r_Quill.tmp\\launcher";
  std::set<std::string> names;
  for (const std::string& name : FileNamesIn(work)) names.insert(name);
  int inputs = 0;
  for (const std::string& name : names) {
    if (!EndsWith(name, ".in_")) {
      EXPECT_TRUE(EndsWith(name, ".out")) << name;
      continue;
    }
    ++inputs;
    EXPECT_EQ(name.size(), 10u) << name;
    EXPECT_EQ(names.count(name + ".out"), 1u) << name << " has no output";
    EXPECT_EQ(FileStatus(AddTrailingSeparator(work, '\\') + name).Size(), 0);
  }
  EXPECT_EQ(inputs, 10);

  // Only progress lines: rewritten in place with CR, never a line feed.
  std::string shown = test::ReadWholeFile(errors);
  EXPECT_EQ(shown.find('\n'), std::string::npos);
  std::string::size_type start = 0;
  while (start < shown.size()) {
    std::string::size_type end = shown.find('\r', start);
    ASSERT_NE(end, std::string::npos) << "unterminated line: " << shown.substr(start);
    std::string line = shown.substr(start, end - start);
    bool blank = line.find_first_not_of(' ') == std::string::npos;
    EXPECT_TRUE(blank || line.rfind("wait  ...    ", 0) == 0) << line;
    start = end + 1;
  }
}

}  // namespace
}  // namespace quill
