// JSON through nlohmann::ordered_json: the dump log's text is in the system's code
// page, so bytes that are no UTF-8 are replaced rather than refused.
#include <nlohmann/json.hpp>

#include "report/columns.h"
#include "report/forms.h"

namespace quill::report {
namespace {

std::string Line(const nlohmann::ordered_json& object) {
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string JsonLines(const std::string& folder, const std::vector<Cycle>& cycles,
                      const Summary& summary) {
  std::string out;
  for (const Cycle& cycle : cycles) {
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const DumpEntry& entry : cycle.entries) {
      entries.push_back({{"time", LocalTimeText(entry.timeMs).substr(0, 19)},
                         {"offset_ms", entry.timeMs - cycle.startMs},
                         {"program", entry.program},
                         {"text", entry.text}});
    }
    nlohmann::ordered_json object = {{"type", "cycle"}};
    for (const Column& column : CycleColumns()) object[column.field] = column.value(cycle);
    object["start_ms"] = cycle.startMs;
    object["output_offsets_ms"] = cycle.outputOffsetsMs;
    object["foreign_outputs"] = cycle.foreignOutputs;
    object["entries"] = entries;
    object["entries_left_out"] = cycle.failures - static_cast<std::int64_t>(entries.size());
    out += Line(object);
  }
  nlohmann::ordered_json failures = nlohmann::ordered_json::array();
  for (const FailureCount& failure : summary.failures) {
    failures.push_back({{"text", failure.text}, {"count", failure.count}});
  }
  out += Line({{"type", "summary"},
               {"folder", folder},
               {"runs", summary.runs},
               {"cycles", summary.cycles},
               {"answered", summary.answered},
               {"unanswered", summary.cycles - summary.answered},
               {"latency_median_ms", MsOrNull(summary.latencyMedianMs)},
               {"latency_max_ms", MsOrNull(summary.latencyMaxMs)},
               {"late_outputs", summary.lateOutputs},
               {"foreign_outputs", summary.foreignOutputs},
               {"failure_entries", summary.failureEntries},
               {"failures", failures},
               {"failure_entries_of_other_kinds", summary.otherKindEntries},
               {"dump_files_cut", summary.dumpFilesCut}});
  return out;
}

}  // namespace quill::report
