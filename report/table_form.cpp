#include <cstdio>

#include "environment/time_format.h"
#include "report/forms.h"
#include "report/visible_text.h"

namespace quill::report {
namespace {

// Columns: text left-aligned, numbers right-aligned.
struct Column {
  std::string heading;
  bool right = false;
};

std::string Pad(const std::string& text, std::size_t width, bool right) {
  const std::string blanks(width > text.size() ? width - text.size() : 0, ' ');
  return right ? blanks + text : text + blanks;
}

std::string MsText(std::int64_t ms) {
  return ms < 0 ? "-" : std::to_string(ms);
}

}  // namespace

std::string LocalTimeText(std::int64_t ms) {
  const std::int64_t seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms - seconds * 1000));
  return FormatTime(seconds, "%Y-%m-%d %H:%M:%S") + fraction;
}

std::string TableText(const std::string& folder, const std::vector<Cycle>& cycles,
                      const Summary& summary) {
  const std::vector<Column> columns = {{"run", true},       {"start", false},     {"input", false},
                                       {"answered", false}, {"latency ms", true}, {"outputs", true},
                                       {"late", true},      {"failures", true}};
  std::vector<std::vector<std::string>> rows;
  for (const Cycle& cycle : cycles) {
    rows.push_back({std::to_string(cycle.run), LocalTimeText(cycle.startMs),
                    TerminalText(cycle.input), Answered(cycle) ? "yes" : "NO",
                    MsText(LatencyMs(cycle)), std::to_string(cycle.outputOffsetsMs.size()),
                    std::to_string(LateOutputs(cycle)), std::to_string(cycle.entries.size())});
  }
  std::vector<std::size_t> widths;
  for (const Column& column : columns) widths.push_back(column.heading.size());
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) text += "  ";
      text += Pad(cells[i], widths[i], columns[i].right);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };

  // Names and texts come from files that other users can write: none of
  // their bytes may reach the terminal as a control.
  std::string out = "work folder: " + TerminalText(folder) + "\n";
  if (cycles.empty()) return out + "no cycles\n";
  std::vector<std::string> headings;
  for (const Column& column : columns) headings.push_back(column.heading);
  out += line(headings);
  for (const auto& row : rows) out += line(row);

  out += "summary: " + std::to_string(summary.cycles) + " cycles in " +
         std::to_string(summary.runs) + (summary.runs == 1 ? " run, " : " runs, ") +
         std::to_string(summary.answered) + " answered; latency median " +
         MsText(summary.latencyMedianMs) + " ms, max " + MsText(summary.latencyMaxMs) + " ms; " +
         std::to_string(summary.lateOutputs) + " late outputs; " +
         std::to_string(summary.failureEntries) + " failure entries\n";
  for (const FailureCount& failure : summary.failures) {
    out += "  \"" + TerminalText(failure.text) + "\" x " + std::to_string(failure.count) + "\n";
  }
  return out;
}

}  // namespace quill::report
