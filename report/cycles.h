// Hand-off cycles and runs reconstructed from a work folder's files and the
// dump log's entries. Plain functions of plain lists: no file system here.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "environment/handoff_names.h"

namespace quill::report {

// One file of a work folder: its name, its last write time, its count of
// names and, where the system tells, its owner.
struct FileTime {
  std::string name;
  std::int64_t modifyTimeMs = 0;
  std::uint32_t links = 1;
  bool ownerKnown = false;
  std::uint64_t owner = 0;
};

// One entry line of the dump log.
struct DumpEntry {
  std::int64_t timeMs = 0;  // whole seconds, as the log records them
  std::string program;
  std::string text;
};

// A cycle keeps the texts of this many of its entries, its earliest, and no
// more bytes of them than kKeptTextBytesPerCycle; every entry is counted. A
// file that others can write then costs bounded memory.
constexpr std::size_t kKeptEntriesPerCycle = 100;
constexpr std::size_t kKeptTextBytesPerCycle = std::size_t{1} << 20;
// A cycle counts this many kinds of failure (FailureKind) one by one, the
// first that come and no more bytes of them than kKeptKindBytesPerCycle;
// entries of other kinds are counted together.
constexpr std::size_t kKeptKindsPerCycle = 100;
constexpr std::size_t kKeptKindBytesPerCycle = std::size_t{1} << 20;

// Two cycles whose starts are further apart than this belong to two runs;
// no cycle lasts longer (the launcher's polls and pauses, with room for the
// starts), so a change of either moves this window with it.
constexpr std::int64_t kRunGapMs = handoff::kLongestCycleMs;

struct Cycle {
  std::string input;  // file name, such as 083015.in_
  std::int64_t startMs = 0;
  // Where the cycle's window ends: the next cycle's start, or kRunGapMs on.
  std::int64_t endMs = 0;
  int run = 0;  // 1 for the folder's oldest run
  // Times of the outputs since the start, earliest first.
  std::vector<std::int64_t> outputOffsetsMs;
  // The kept entries of the window (kKeptEntriesPerCycle), earliest first,
  // in the log's order within one second.
  std::vector<DumpEntry> entries;
  std::size_t keptTextBytes = 0;  // of `entries`
  // Files at an output name that are no output (IsRealOutput).
  int foreignOutputs = 0;
  // Every entry of the window, and those of each kind.
  std::int64_t failures = 0;
  std::map<std::string, std::int64_t, std::less<>> kinds = {};
  std::size_t keptKindBytes = 0;      // of `kinds`
  std::int64_t otherKindEntries = 0;  // of kinds not counted one by one
};

// `ms` rounded down to its whole second, also before 1970.
std::int64_t FloorSecondMs(std::int64_t ms);

// True when an output came within the cycle's window.
bool Answered(const Cycle& cycle);
// First output's time less the input's, or -1 when the cycle was not answered.
std::int64_t LatencyMs(const Cycle& cycle);
// Outputs beyond the one that answered (all of them when none did).
int LateOutputs(const Cycle& cycle);

// True when `output` can answer the cycle of `input`: a file with one name,
// of the input's owner where owners are known (on Windows they are not, and
// one name is all that counts, as launcher has it).
bool IsRealOutput(const FileTime& output, const FileTime& input);

// One cycle per input `*.in_`, ordered by start, with its outputs
// (`<input>.out`, `<input>.NNN.out`), windows and run numbers. Outputs older
// than their input were left by an earlier cycle of that name and are not
// counted; of the others, those that are no real output are counted as
// foreign only.
std::vector<Cycle> FindCycles(const std::vector<FileTime>& files);

enum class Selection { kLatestRun, kAll, kSince };

// The cycles a report covers: the latest run, all of them, or those that
// start at `sinceMs` or later.
std::vector<Cycle> SelectCycles(const std::vector<Cycle>& cycles, Selection selection,
                                std::int64_t sinceMs = 0);

// Names of the hourly dump files ("MMDD_HH.txt") that the cycles' windows
// touch, each once.
std::vector<std::string> DumpFileNames(const std::vector<Cycle>& cycles);

// The calendar time [fromMs, toMs) whose dump entries belong to one cycle.
struct EntryWindow {
  std::int64_t fromMs = 0;
  std::int64_t toMs = 0;
};

// Each cycle's window, in the order of `cycles`: from the second of its start
// up to the second of the next cycle's start, and no further than kRunGapMs.
std::vector<EntryWindow> EntryWindows(const std::vector<Cycle>& cycles);

// The index of the window that holds `ms`, or -1 when none does.
std::ptrdiff_t WindowOf(std::int64_t ms, const std::vector<EntryWindow>& windows);

// Counts `entry` in `cycle`, by kind too, and keeps it when it is among the
// cycle's earliest that kKeptEntriesPerCycle and kKeptTextBytesPerCycle
// allow.
void CountEntry(Cycle* cycle, DumpEntry entry);

// Gives each cycle the hand-off programs' entries of its window (see
// EntryWindows).
void AttachEntries(std::vector<Cycle>* cycles, const std::vector<DumpEntry>& entries);

// The longest dump line kept; the rest of a longer line is dropped, so a
// file that anyone can write costs bounded memory.
constexpr std::size_t kMaxDumpLineBytes = 65536;

// Cuts bytes that arrive in pieces into lines ended by LF, each without its
// LF and cut to at most `maxLineBytes`.
class LineCutter {
 public:
  explicit LineCutter(std::size_t maxLineBytes = kMaxDumpLineBytes) : max_(maxLineBytes) {}

  // Adds the next piece; hands each line it completes to `take`.
  template <typename Take>
  void Feed(std::string_view bytes, Take&& take) {
    while (!bytes.empty()) {
      const std::size_t end = bytes.find('\n');
      if (line_.size() < max_) line_.append(bytes.substr(0, std::min(end, max_ - line_.size())));
      if (end == std::string_view::npos) return;
      take(static_cast<const std::string&>(line_));
      line_.clear();
      bytes.remove_prefix(end + 1);
    }
  }

  // Hands on the last line when the bytes did not end with LF.
  template <typename Take>
  void Finish(Take&& take) {
    if (!line_.empty()) take(static_cast<const std::string&>(line_));
    line_.clear();
  }

 private:
  std::size_t max_;
  std::string line_;
};

// One line of a dump file (a CR at its end is left out) as an entry; false
// for header lines and lines of another form.
bool ParseDumpLine(std::string_view line, DumpEntry* entry);

// ParseDumpLine for the entries that can matter only: a hand-off program's
// inside one of `windows` (EntryWindows of cycles ordered by start). The program
// is looked at before the time, which takes a time-zone conversion: most
// lines of a log that every user shares can be dropped without one.
bool ParseEntryThatMatters(std::string_view line, const std::vector<EntryWindow>& windows,
                           DumpEntry* entry);

// Counts the entry of `line` in the cycle whose window holds it when it can
// matter (ParseEntryThatMatters); `windows` are EntryWindows(*cycles).
void TakeDumpLine(std::string_view line, const std::vector<EntryWindow>& windows,
                  std::vector<Cycle>* cycles);

// The entry lines of one dump file's text, each line cut to `maxLineBytes`.
std::vector<DumpEntry> ParseDumpText(const std::string& text,
                                     std::size_t maxLineBytes = kMaxDumpLineBytes);

// The part of an entry's text that names the failure: up to its first TAB.
std::string_view FailureKind(std::string_view text);

struct FailureCount {
  std::string text;
  std::int64_t count = 0;
};

struct Summary {
  int runs = 0;
  int cycles = 0;
  int answered = 0;
  std::int64_t latencyMedianMs = -1;  // -1 when nothing was answered
  std::int64_t latencyMaxMs = -1;
  int lateOutputs = 0;
  int foreignOutputs = 0;
  std::int64_t failureEntries = 0;
  std::vector<FailureCount> failures;     // most frequent first
  std::int64_t otherKindEntries = 0;      // of kinds a cycle did not count one by one
  std::vector<std::string> dumpFilesCut;  // read only up to their limit
};

Summary Summarize(const std::vector<Cycle>& cycles);

}  // namespace quill::report
