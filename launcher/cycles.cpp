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
    // Every user falls back to this same folder, so each of its levels is
    // made open to all of them (sticky, as the dump log's Temp levels are):
    // the first user to get here must not shut the others out. The files in
    // it stay private to their owners.
    StringList levels{"Temp", "Temp", kWorkFolderName};
    const std::string stem = PathStem(ModulePath());
    if (!stem.empty()) levels.push_back(stem);
    OpenSharedTree(folder, levels, true);
    folder = AddTrailingSeparator(folder, '\\') + "Temp";
    folder = AddTrailingSeparator(folder, '\\') + "Temp";
    folder = AddTrailingSeparator(folder, '\\') + kWorkFolderName;
    folder = AddTrailingSeparator(folder, '\\') + stem;
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
  // A folder that cannot be made has been recorded already; a name that
  // another user holds in a shared work folder is recorded here, once.
  if (!CreateEmptyFile(input) && FolderExists(RemoveTrailingSeparator(folder))) {
    WriteDumpEntry("Can't create " + input);
  }
  LaunchConverter(input);

  ConsoleProgressBar bar;
  bar.Start(kWaitCaption, kPollsPerCycle);
  for (unsigned poll = 0; poll < kPollsPerCycle; ++poll) {
    bar.Step();
    platform::System().Sleep(kPollPauseMs);
    // Only a plain file of this user's answers: a FIFO or a file that
    // another user planted at the name in a shared work folder does not.
    if (platform::IsOwnPlainFile(output.c_str())) break;
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
