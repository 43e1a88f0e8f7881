#include "launcher/cycles.h"

#include "environment/directory_tree.h"
#include "environment/dump_log.h"
#include "environment/special_folders.h"
#include "environment/time_format.h"
#include "launcher/converter_launch.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/platform.h"
#include "progress/progress_indicator.h"

namespace quill {
namespace {

constexpr int kCyclesPerRun = 10;
constexpr unsigned kPollsPerCycle = 100;
constexpr std::uint32_t kPollPauseMs = 300;
constexpr char kWaitCaption[] = "wait  ...";
constexpr char kStampFormat[] = "%H%M%S";
constexpr char kInputSuffix[] = ".in_";
constexpr char kOutputSuffix[] = ".out";
constexpr char kWorkFolderName[] = "r_Quill.tmp";

// Replaces the shared documents folder when a test has set it.
std::string alternativeBaseForTesting;

}  // namespace

std::string WorkFolderBelow(const std::string& temporaryFolder, const std::string& programPath) {
  std::string folder = AddTrailingSeparator(temporaryFolder, '\\') + kWorkFolderName;
  folder = AddTrailingSeparator(folder, '\\') + PathStem(programPath);
  return AddTrailingSeparator(folder, '\\');
}

std::string WorkFolderUnderTemp() {
  return WorkFolderBelow(TempFolder(), ModulePath());
}

std::string MakeWorkFolder() {
  const std::string temporary = TempFolder();
  std::string folder = WorkFolderBelow(temporary, ModulePath());
  // An empty temporary folder is one that was refused and recorded.
  if (temporary.empty() || !CreateDirectoryTree(folder)) {
    // The failure is recorded; the alternative is only named here; the input
    // file's creation makes it.
    folder = alternativeBaseForTesting.empty() ? SpecialFolder(CSIDL_COMMON_DOCUMENTS)
                                               : alternativeBaseForTesting;
    // Its two Temp levels are the dump log's too: made open to every user, as
    // the dump log makes them, so a run that gets here first does not keep
    // other users' entries out.
    OpenSharedTree(folder, {"Temp", "Temp"}, true);
    folder = AddTrailingSeparator(folder, '\\') + "Temp";
    folder = AddTrailingSeparator(folder, '\\') + "Temp";
    folder = AddTrailingSeparator(folder, '\\') + kWorkFolderName;
    folder = AddTrailingSeparator(folder, '\\') + PathStem(ModulePath());
    WriteDumpEntry(folder);
  }
  return AddTrailingSeparator(folder, '\\');
}

bool RunCycle() {
  std::string folder = MakeWorkFolder();
  std::string stamp = FormatLocalTime(kStampFormat);
  std::string input = AddTrailingSeparator(folder, '\\') + stamp + kInputSuffix;
  std::string output = input + kOutputSuffix;

  // Only these two exact names go: numbered outputs of late converters stay.
  platform::RemoveFile(input.c_str());
  platform::RemoveFile(output.c_str());
  CreateEmptyFile(input);
  LaunchConverter(input);

  ConsoleProgressBar bar;
  bar.Start(kWaitCaption, kPollsPerCycle);
  for (unsigned poll = 0; poll < kPollsPerCycle; ++poll) {
    bar.Step();
    platform::System().Sleep(kPollPauseMs);
    if (PathExists(output, false)) break;
    LaunchConverter(input);
  }
  return true;
}

void SetAlternativeWorkBaseForTesting(const std::string& base) {
  alternativeBaseForTesting = base;
}

bool RunCycles() {
  for (int cycle = 0; cycle < kCyclesPerRun; ++cycle) RunCycle();
  return true;
}

}  // namespace quill
