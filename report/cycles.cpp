#include "report/cycles.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <map>
#include <unordered_map>

#include "environment/handoff_names.h"
#include "environment/time_format.h"
#include "paths/path_strings.h"

namespace quill::report {
namespace {

// "YYYY/MM/DD HH:MM:SS" in local time, as calendar milliseconds.
bool ParseEntryTime(std::string_view line, std::int64_t* ms) {
  static const char kShape[] = "dddd/dd/dd dd:dd:dd";
  if (line.size() < 19) return false;
  for (int i = 0; i < 19; ++i) {
    if (kShape[i] == 'd' ? !IsDigit(line[i]) : line[i] != kShape[i]) return false;
  }
  auto number = [&line](int at, int length) {
    int value = 0;
    for (int i = at; i < at + length; ++i) value = value * 10 + (line[i] - '0');
    return value;
  };
  std::tm local{};
  local.tm_year = number(0, 4) - 1900;
  local.tm_mon = number(5, 2) - 1;
  local.tm_mday = number(8, 2);
  local.tm_hour = number(11, 2);
  local.tm_min = number(14, 2);
  local.tm_sec = number(17, 2);
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return false;
  *ms = static_cast<std::int64_t>(seconds) * 1000;
  return true;
}

// The program and text of a line of the entry form, "YYYY/MM/DD HH:MM:SS",
// TAB, program, TAB, text (a CR at the end left out), its time not yet
// read; false for header lines and lines of another form.
bool SplitDumpLine(std::string_view line, std::string_view* program, std::string_view* text) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() < 20 || line[19] != '\t') return false;
  const std::size_t tab = line.find('\t', 20);
  if (tab == std::string_view::npos) return false;
  *program = line.substr(20, tab - 20);
  *text = line.substr(tab + 1);
  // A header line: the user's name, then the folders, each followed by two
  // TABs.
  return text->empty() || text->front() != '\t' || !EndsWith(*text, "\t\t");
}

}  // namespace

std::ptrdiff_t WindowOf(std::int64_t ms, const std::vector<EntryWindow>& windows) {
  // The windows follow each other without overlapping: only the last one
  // that starts at or before `ms` can hold it.
  const auto after = std::upper_bound(
      windows.begin(), windows.end(), ms,
      [](std::int64_t at, const EntryWindow& window) { return at < window.fromMs; });
  if (after == windows.begin() || ms >= std::prev(after)->toMs) return -1;
  return std::prev(after) - windows.begin();
}

std::int64_t FloorSecondMs(std::int64_t ms) {
  return (ms >= 0 ? ms / 1000 : (ms - 999) / 1000) * 1000;
}

bool Answered(const Cycle& cycle) {
  return !cycle.outputOffsetsMs.empty() &&
         cycle.outputOffsetsMs.front() <= cycle.endMs - cycle.startMs;
}

std::int64_t LatencyMs(const Cycle& cycle) {
  return Answered(cycle) ? cycle.outputOffsetsMs.front() : -1;
}

int LateOutputs(const Cycle& cycle) {
  const int outputs = static_cast<int>(cycle.outputOffsetsMs.size());
  return Answered(cycle) ? outputs - 1 : outputs;
}

bool IsRealOutput(const FileTime& output, const FileTime& input) {
  return output.links == 1 && output.ownerKnown == input.ownerKnown && output.owner == input.owner;
}

std::vector<Cycle> FindCycles(const std::vector<FileTime>& files) {
  std::vector<Cycle> cycles;
  std::vector<const FileTime*> inputs;
  std::unordered_map<std::string, std::size_t> byInput;
  byInput.reserve(files.size());
  for (const FileTime& file : files) {
    if (!handoff::IsInputName(file.name)) continue;
    Cycle cycle;
    cycle.input = file.name;
    cycle.startMs = file.modifyTimeMs;
    byInput.emplace(ToLower(file.name), cycles.size());
    cycles.push_back(std::move(cycle));
    inputs.push_back(&file);
  }
  for (const FileTime& file : files) {
    for (bool numbered : {false, true}) {
      const std::string input = handoff::InputOfOutput(file.name, numbered);
      if (input.empty()) continue;
      const auto found = byInput.find(ToLower(input));
      if (found == byInput.end()) continue;
      Cycle& cycle = cycles[found->second];
      if (file.modifyTimeMs < cycle.startMs) break;
      if (IsRealOutput(file, *inputs[found->second])) {
        cycle.outputOffsetsMs.push_back(file.modifyTimeMs - cycle.startMs);
      } else {
        ++cycle.foreignOutputs;
      }
      break;
    }
  }
  std::sort(cycles.begin(), cycles.end(), [](const Cycle& a, const Cycle& b) {
    return a.startMs != b.startMs ? a.startMs < b.startMs : a.input < b.input;
  });
  int run = 0;
  for (std::size_t i = 0; i < cycles.size(); ++i) {
    Cycle& cycle = cycles[i];
    std::sort(cycle.outputOffsetsMs.begin(), cycle.outputOffsetsMs.end());
    if (i == 0 || cycle.startMs - cycles[i - 1].startMs > kRunGapMs) ++run;
    cycle.run = run;
    cycle.endMs = cycle.startMs + kRunGapMs;
    if (i + 1 < cycles.size()) cycle.endMs = std::min(cycle.endMs, cycles[i + 1].startMs);
  }
  return cycles;
}

std::vector<Cycle> SelectCycles(const std::vector<Cycle>& cycles, Selection selection,
                                std::int64_t sinceMs) {
  std::vector<Cycle> chosen;
  for (const Cycle& cycle : cycles) {
    const bool keep = selection == Selection::kAll ||
                      (selection == Selection::kLatestRun && cycle.run == cycles.back().run) ||
                      (selection == Selection::kSince && cycle.startMs >= sinceMs);
    if (keep) chosen.push_back(cycle);
  }
  return chosen;
}

std::vector<std::string> DumpFileNames(const std::vector<Cycle>& cycles) {
  std::vector<std::string> names;
  for (const Cycle& cycle : cycles) {
    for (std::int64_t ms : {cycle.startMs, std::max(cycle.startMs, cycle.endMs - 1)}) {
      const std::string name = handoff::HourFileName(ms / 1000);
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
  }
  return names;
}

bool IsHandOffProgram(std::string_view program) {
  // Longer names cannot match; no need to lower-case a long text.
  if (program.size() > 12) return false;
  const std::string name = ToLower(std::string(program));
  return name == "launcher" || name == "kestrel" || name == "launcher.exe" || name == "kestrel.exe";
}

std::vector<EntryWindow> EntryWindows(const std::vector<Cycle>& cycles) {
  std::vector<EntryWindow> windows;
  windows.reserve(cycles.size());
  for (std::size_t i = 0; i < cycles.size(); ++i) {
    EntryWindow window{FloorSecondMs(cycles[i].startMs), cycles[i].startMs + kRunGapMs};
    if (i + 1 < cycles.size()) {
      window.toMs = std::min(window.toMs, FloorSecondMs(cycles[i + 1].startMs));
    }
    windows.push_back(window);
  }
  return windows;
}

void CountEntry(Cycle* cycle, DumpEntry entry) {
  ++cycle->failures;
  const std::string_view kind = FailureKind(entry.text);
  const auto known = cycle->kinds.find(kind);
  if (known != cycle->kinds.end()) {
    ++known->second;
  } else if (cycle->kinds.size() < kKeptKindsPerCycle &&
             cycle->keptKindBytes + kind.size() <= kKeptKindBytesPerCycle) {
    cycle->kinds.emplace(kind, 1);
    cycle->keptKindBytes += kind.size();
  } else {
    ++cycle->otherKindEntries;
  }
  // Kept earliest first; one of the same second as a kept one goes after it,
  // as the log has them.
  std::vector<DumpEntry>& kept = cycle->entries;
  if (kept.size() == kKeptEntriesPerCycle && entry.timeMs >= kept.back().timeMs) return;
  const auto place =
      std::upper_bound(kept.begin(), kept.end(), entry.timeMs,
                       [](std::int64_t ms, const DumpEntry& other) { return ms < other.timeMs; });
  cycle->keptTextBytes += entry.text.size();
  kept.insert(place, std::move(entry));
  while (kept.size() > kKeptEntriesPerCycle || cycle->keptTextBytes > kKeptTextBytesPerCycle) {
    cycle->keptTextBytes -= kept.back().text.size();
    kept.pop_back();
  }
}

void AttachEntries(std::vector<Cycle>* cycles, const std::vector<DumpEntry>& entries) {
  const std::vector<EntryWindow> windows = EntryWindows(*cycles);
  for (const DumpEntry& entry : entries) {
    const std::ptrdiff_t window = WindowOf(entry.timeMs, windows);
    if (window >= 0 && IsHandOffProgram(entry.program)) CountEntry(&(*cycles)[window], entry);
  }
}

bool ParseDumpLine(std::string_view line, DumpEntry* entry) {
  std::string_view program, text;
  if (!SplitDumpLine(line, &program, &text) || !ParseEntryTime(line, &entry->timeMs)) return false;
  entry->program = std::string(program);
  entry->text = std::string(text);
  return true;
}

bool ParseEntryThatMatters(std::string_view line, const std::vector<EntryWindow>& windows,
                           DumpEntry* entry) {
  std::string_view program, text;
  return SplitDumpLine(line, &program, &text) && IsHandOffProgram(program) &&
         ParseDumpLine(line, entry) && WindowOf(entry->timeMs, windows) >= 0;
}

void TakeDumpLine(std::string_view line, const std::vector<EntryWindow>& windows,
                  std::vector<Cycle>* cycles) {
  DumpEntry entry;
  if (ParseEntryThatMatters(line, windows, &entry)) {
    const std::ptrdiff_t window = WindowOf(entry.timeMs, windows);
    CountEntry(&(*cycles)[window], std::move(entry));
  }
}

std::vector<DumpEntry> ParseDumpText(const std::string& text, std::size_t maxLineBytes) {
  std::vector<DumpEntry> entries;
  auto take = [&entries](const std::string& line) {
    DumpEntry entry;
    if (ParseDumpLine(line, &entry)) entries.push_back(std::move(entry));
  };
  LineCutter cutter(maxLineBytes);
  cutter.Feed(text, take);
  cutter.Finish(take);
  return entries;
}

std::string_view FailureKind(std::string_view text) {
  return text.substr(0, text.find('\t'));
}

Summary Summarize(const std::vector<Cycle>& cycles) {
  Summary summary;
  std::vector<std::int64_t> latencies;
  std::map<std::string, std::int64_t, std::less<>> failures;
  int lastRun = 0;
  for (const Cycle& cycle : cycles) {
    if (cycle.run != lastRun) ++summary.runs;
    lastRun = cycle.run;
    ++summary.cycles;
    if (Answered(cycle)) {
      ++summary.answered;
      latencies.push_back(LatencyMs(cycle));
    }
    summary.lateOutputs += LateOutputs(cycle);
    summary.foreignOutputs += cycle.foreignOutputs;
    summary.failureEntries += cycle.failures;
    summary.otherKindEntries += cycle.otherKindEntries;
    for (const auto& [kind, count] : cycle.kinds) failures[kind] += count;
  }
  if (!latencies.empty()) {
    std::sort(latencies.begin(), latencies.end());
    const std::size_t middle = latencies.size() / 2;
    summary.latencyMedianMs = latencies.size() % 2 == 1
                                  ? latencies[middle]
                                  : (latencies[middle - 1] + latencies[middle]) / 2;
    summary.latencyMaxMs = latencies.back();
  }
  for (const auto& [text, count] : failures) summary.failures.push_back({text, count});
  std::stable_sort(summary.failures.begin(), summary.failures.end(),
                   [](const FailureCount& a, const FailureCount& b) { return a.count > b.count; });
  return summary;
}

}  // namespace quill::report
