#include "launcher/cycles.h"

#include "environment/directory_tree.h"
#include "environment/dump_line.h"
#include "environment/dump_log.h"
#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "environment/temp_folder.h"
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
    folder = handoff::AlternativeWorkFolder(SpecialFolder(CSIDL_COMMON_DOCUMENTS), ModulePath());
    WriteDumpEntry(folder);
  }
  return AddTrailingSeparator(folder, '\\');
}

namespace {

// The cycle's work folder, held open while its names are removed and made:
// a link that another user put on the way cannot send them elsewhere. The
// alternative is reached from the shared documents folder without following
// any link and made on the way, each level open to every user (sticky on
// POSIX), since every user falls back to this one folder; the files in it
// stay private to their owners. When a level cannot be made, `failedLevel`
// is the one that the input's creation reports.
platform::SharedFolder HoldWorkFolder(const std::string& folder, std::string* failedLevel) {
  const std::string shared = SpecialFolder(CSIDL_COMMON_DOCUMENTS);
  const std::string alternative = handoff::AlternativeWorkFolder(shared, ModulePath());
  if (RemoveTrailingSeparator(folder) != RemoveTrailingSeparator(alternative)) {
    return platform::OpenGuardedFolder(folder);
  }
  return OpenSharedTree(shared, handoff::AlternativeWorkLevels(ModulePath()), true, failedLevel);
}

}  // namespace

bool RunCycle() {
  const std::string folder = MakeWorkFolder();
  const std::string stamp = FormatLocalTime(handoff::kInputStampFormat);
  const std::string input = handoff::InputPath(folder, stamp);
  const std::string output = handoff::OutputPath(input);

  std::string failedLevel;
  const platform::SharedFolder held = HoldWorkFolder(folder, &failedLevel);
  // Only these two exact names go, and only when they are this user's own:
  // numbered outputs of late converters stay, and so does whatever another
  // user made at the names in a shared work folder.
  platform::RemoveOwnFileIn(held, PathLeaf(input).c_str());
  platform::RemoveOwnFileIn(held, PathLeaf(output).c_str());
  // A level that cannot be made is recorded as making the input's folder
  // records it; a file that cannot be made is not recorded.
  if (held.IsOpen()) {
    platform::CreateEmptyFileIn(held, PathLeaf(input).c_str());
  } else if (!failedLevel.empty()) {
    WriteDumpEntry(dumpline::CantCreateText(failedLevel).c_str());
  }
  LaunchConverter(input);

  ConsoleProgressBar bar;
  bar.Start(kWaitCaption, handoff::kPollsPerCycle);
  for (unsigned poll = 0; poll < handoff::kPollsPerCycle; ++poll) {
    bar.Step();
    platform::System().Sleep(handoff::kPollPauseMs);
    // Any name at the output answers, a folder included; which outputs were
    // real is for the report to tell.
    if (PathExists(output, false)) break;
    LaunchConverter(input);
  }
  return true;
}

bool RunCycles() {
  for (int cycle = 0; cycle < handoff::kCyclesPerRun; ++cycle) RunCycle();
  return true;
}

}  // namespace quill
