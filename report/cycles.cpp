#include "report/cycles.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <map>
#include <unordered_map>

#include "environment/dump_line.h"
#include "environment/handoff_names.h"
#include "environment/time_format.h"
#include "paths/path_strings.h"

namespace quill::report {
namespace {

// An entry's stamp in local time, as calendar milliseconds.
bool StampMs(std::string_view stamp, std::int64_t* ms) {
  std::tm local{};
  if (!dumpline::ReadStamp(stamp, &local)) return false;
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return false;
  *ms = static_cast<std::int64_t>(seconds) * 1000;
  return true;
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
    if (window >= 0 && handoff::IsHandOffProgram(entry.program))
      CountEntry(&(*cycles)[window], entry);
  }
}

bool ParseDumpLine(std::string_view line, DumpEntry* entry) {
  dumpline::EntryFields fields;
  if (!dumpline::ParseEntryLine(line, &fields) || !StampMs(fields.stamp, &entry->timeMs)) {
    return false;
  }
  entry->program = std::string(fields.program);
  entry->text = std::string(fields.text);
  return true;
}

bool ParseEntryThatMatters(std::string_view line, const std::vector<EntryWindow>& windows,
                           DumpEntry* entry) {
  dumpline::EntryFields fields;
  return dumpline::ParseEntryLine(line, &fields) && handoff::IsHandOffProgram(fields.program) &&
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
