#include <cstdio>

#include "environment/time_format.h"
#include "report/columns.h"
#include "report/forms.h"
#include "report/visible_text.h"

namespace quill::report {
namespace {

std::string MsText(std::int64_t ms) {
  return ms < 0 ? "-" : std::to_string(ms);
}

std::string Pad(const std::string& text, std::size_t width, bool right) {
  const std::string blanks(width > text.size() ? width - text.size() : 0, ' ');
  return right ? blanks + text : text + blanks;
}

}  // namespace

std::string UtcText(std::int64_t calendarTime) {
  const long long seconds = calendarTime;
  const long long days = (seconds >= 0 ? seconds : seconds - 86'399) / 86'400;
  const long long inDay = seconds - days * 86'400;
  // Days since 1970-01-01 to a civil date, in eras of 400 years from March.
  const long long shifted = days + 719'468,
                  era = (shifted >= 0 ? shifted : shifted - 146'096) / 146'097;
  const long long dayOfEra = shifted - era * 146'097;
  const long long yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long fromMarch = (5 * dayOfYear + 2) / 153,
                  month = fromMarch < 10 ? fromMarch + 3 : fromMarch - 9;
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month,
                dayOfYear - (153 * fromMarch + 2) / 5 + 1, inDay / 3600, inDay / 60 % 60,
                inDay % 60);
  return text;
}

std::string LocalTimeText(std::int64_t ms) {
  const std::int64_t seconds = FloorSecondMs(ms) / 1000;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms - seconds * 1000));
  const std::string local = FormatTime(seconds, "%Y-%m-%d %H:%M:%S");
  return (local.empty() ? UtcText(seconds) : local) + fraction;
}

std::string TableText(const std::string& folder, const std::vector<Cycle>& cycles,
                      const Summary& summary) {
  std::vector<std::vector<std::string>> rows;
  for (const Cycle& cycle : cycles) {
    std::vector<std::string>& row = rows.emplace_back();
    // Names come from a folder that other users can write: no control byte
    // of theirs may reach the terminal.
    for (const Column& column : CycleColumns()) {
      row.push_back(TerminalText(CellText(column.value(cycle))));
    }
  }
  std::vector<std::size_t> widths;
  for (const Column& column : CycleColumns()) widths.push_back(std::string(column.heading).size());
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) text += "  ";
      text += Pad(cells[i], widths[i], CycleColumns()[i].right);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };

  // The folder's name and the failure texts come from places that other
  // users can write: none of their bytes may reach the terminal as a control.
  std::string out = "work folder: " + TerminalText(folder) + "\n";
  if (cycles.empty()) return out + "no cycles\n";
  std::vector<std::string> headings;
  for (const Column& column : CycleColumns()) headings.push_back(column.heading);
  out += line(headings);
  for (const auto& row : rows) out += line(row);

  out += "summary: " + std::to_string(summary.cycles) + " cycles in " +
         std::to_string(summary.runs) + (summary.runs == 1 ? " run, " : " runs, ") +
         std::to_string(summary.answered) + " answered; latency median " +
         MsText(summary.latencyMedianMs) + " ms, max " + MsText(summary.latencyMaxMs) + " ms; " +
         std::to_string(summary.lateOutputs) + " late outputs; " +
         std::to_string(summary.failureEntries) + " failure entries" +
         (summary.foreignOutputs > 0
              ? "; " + std::to_string(summary.foreignOutputs) + " foreign outputs\n"
              : "\n");
  for (const FailureCount& failure : summary.failures) {
    out += "  \"" + TerminalText(failure.text) + "\" x " + std::to_string(failure.count) + "\n";
  }
  // Unquoted, so no failure text can pass for it.
  if (summary.otherKindEntries > 0) {
    out += "  other kinds x " + std::to_string(summary.otherKindEntries) + "\n";
  }
  return out;
}

}  // namespace quill::report
