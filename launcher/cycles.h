// The launcher's conversion cycles.
#pragma once

#include <string>

namespace quill {

// Runs ten cycles one after the other; always true.
bool RunCycles();

// One cycle: a time-stamped empty input file in the work folder, a start of
// the converter, then up to handoff::kPollsPerCycle polls handoff::kPollPauseMs
// apart for its output, starting the converter again after every poll that
// finds none. Always true.
bool RunCycle();

// The work folder of a cycle, ending with `\`: the one under the temporary
// folder, or the one under the shared documents folder when the first
// cannot be created (that one is recorded in the dump log, not created).
std::string MakeWorkFolder();

// `<temporary folder>\r_Quill.tmp\<stem of this program's file>\`.
std::string WorkFolderUnderTemp();

}  // namespace quill
