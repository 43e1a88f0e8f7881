#include "launcher/cycles.h"

#include "environment/directory_tree.h"
#include "environment/dump_log.h"
#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "environment/time_format.h"
#include "launcher/converter_launch.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/files.h"
#include "platform/services.h"
#include "progress/progress_indicator.h"

namespace quill {
namespace {

constexpr char kWaitCaption[] = "wait  ...";

}  // namespace

std::string WorkFolderUnderTemp() {
  return handoff::WorkFolderBelow(TempFolder(), ModulePath());
}

std::string MakeWorkFolder() {
  const std::string temporary = TempFolder();
  std::string folder = handoff::WorkFolderBelow(temporary, ModulePath());
  // An empty temporary folder is one that was refused and recorded.
  if (temporary.empty() || !CreateDirectoryTree(folder)) {
    // The failure is recorded; the alternative is only named here; the input
    // file's creation makes it.
    const std::string shared = SpecialFolder(CSIDL_COMMON_DOCUMENTS);
    // Every user falls back to this same folder, so each of its levels is
    // made open to all of them (sticky, as the dump log's Temp levels are):
    // the first user to get here must not shut the others out. The files in
    // it stay private to their owners.
    OpenSharedTree(shared, handoff::AlternativeWorkLevels(ModulePath()), true);
    folder = handoff::AlternativeWorkFolder(shared, ModulePath());
    WriteDumpEntry(folder);
  }
  return AddTrailingSeparator(folder, '\\');
}

bool RunCycle() {
  std::string folder = MakeWorkFolder();
  const std::string input = handoff::InputPath(folder, FormatLocalTime(handoff::kInputStampFormat));
  const std::string output = handoff::OutputPath(input);

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
  bar.Start(kWaitCaption, handoff::kPollsPerCycle);
  for (unsigned poll = 0; poll < handoff::kPollsPerCycle; ++poll) {
    bar.Step();
    platform::System().Sleep(handoff::kPollPauseMs);
    // Only a plain file of this user's answers: a FIFO or a file that
    // another user planted at the name in a shared work folder does not.
    if (platform::IsOwnPlainFile(output.c_str())) break;
    LaunchConverter(input);
  }
  return true;
}

bool RunCycles() {
  for (int cycle = 0; cycle < handoff::kCyclesPerRun; ++cycle) RunCycle();
  return true;
}

}  // namespace quill
