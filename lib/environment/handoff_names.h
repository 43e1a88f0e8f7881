// Every name and pace that launcher, kestrel, the dump log and quill-report
// hand each other, made and taken apart in this one place: the programs'
// names, the work folder
// and its alternative, the input, output and numbered output names, the dump
// folder levels and the hourly file, and the launcher's poll count and pause.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "paths/tokenize.h"

namespace quill::handoff {

// The two programs of the hand-off, by their file names less the program
// suffix (".exe" on Windows).
constexpr char kLauncherProgram[] = "launcher";
constexpr char kConverterProgram[] = "kestrel";
// True for the file name of either program, with or without ".exe", in any
// case: the program field of their dump entries.
bool IsHandOffProgram(std::string_view programFile);

// The launcher's run: cycles, polls per cycle and the pause before each poll.
constexpr int kCyclesPerRun = 10;
constexpr unsigned kPollsPerCycle = 100;
constexpr std::uint32_t kPollPauseMs = 300;
// The longest a cycle can wait for its output, starts of the converter
// included; a reader of the files that sees two inputs further apart has
// met two runs.
constexpr std::int64_t kLongestCycleMs =
    static_cast<std::int64_t>(kPollsPerCycle) * kPollPauseMs + 5000;

// "%H%M%S": the time-stamp format of an input's name.
constexpr char kInputStampFormat[] = "%H%M%S";
constexpr char kInputSuffix[] = ".in_";
constexpr char kOutputSuffix[] = ".out";

// `<temporaryFolder>\r_Quill.tmp\<stem of programPath>\`.
std::string WorkFolderBelow(const std::string& temporaryFolder, const std::string& programPath);
// The levels of the alternative work folder below the shared documents
// folder: Temp, Temp, r_Quill.tmp and the program's stem (left out when
// empty).
StringList AlternativeWorkLevels(const std::string& programPath);
// The alternative work folder below `sharedDocuments`, without a trailing
// separator when the stem is not empty.
std::string AlternativeWorkFolder(const std::string& sharedDocuments,
                                  const std::string& programPath);

// `<workFolder><stamp>.in_`.
std::string InputPath(const std::string& workFolder, const std::string& stamp);
// `<input>.out`.
std::string OutputPath(const std::string& input);
// The serials of numbered names, 000 to 999: a converter that finds its
// output name taken writes the first free `<stem>.NNN.<extension>` instead.
constexpr std::uint32_t kNumberedNames = 1000;
// `<stemPath>.NNN`, with `.<extension>` when that is not empty; NNN is
// `serial` in three digits (modulo kNumberedNames).
std::string NumberedName(const std::string& stemPath, std::uint32_t serial,
                         const std::string& extension);
// The input that an output file name belongs to: `<input>.out` gives
// `<input>`, and with `numbered` `<input>.NNN.out` does; empty for any other
// name.
std::string InputOfOutput(const std::string& name, bool numbered);
// True for an input's name: one that ends in ".in_", in any case.
bool IsInputName(const std::string& name);

// The dump folder's levels below the shared documents folder: Temp, Temp,
// DbgDump; then `kDumpFileLevel` holds the hourly files.
StringList DumpParentLevels();
constexpr char kDumpFileLevel[] = "WZ";
// `<sharedDocuments>\Temp\Temp\DbgDump\WZ\`.
std::string DumpFolder(const std::string& sharedDocuments);
// The hourly file of a calendar time: "%m%d_%H" of its local time + ".txt".
std::string HourFileName(std::int64_t calendarTime);
// The pattern of the hourly files, for the purge.
constexpr char kHourFilePattern[] = "*.txt";

}  // namespace quill::handoff
