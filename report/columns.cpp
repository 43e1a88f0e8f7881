#include "report/columns.h"

#include "report/forms.h"

namespace quill::report {

const std::vector<Column>& CycleColumns() {
  using Json = nlohmann::ordered_json;
  static const std::vector<Column> columns = {
      {"run", "run", true, [](const Cycle& c) { return Json(c.run); }},
      {"start", "start", false, [](const Cycle& c) { return Json(LocalTimeText(c.startMs)); }},
      {"input", "input", false, [](const Cycle& c) { return Json(c.input); }},
      {"answered", "answered", false, [](const Cycle& c) { return Json(Answered(c)); }},
      {"latency ms", "latency_ms", true, [](const Cycle& c) { return MsOrNull(LatencyMs(c)); }},
      {"outputs", "outputs", true, [](const Cycle& c) { return Json(c.outputOffsetsMs.size()); }},
      {"late", "late_outputs", true, [](const Cycle& c) { return Json(LateOutputs(c)); }},
      {"failures", "failures", true, [](const Cycle& c) { return Json(c.failures); }},
  };
  return columns;
}

std::string CellText(const nlohmann::ordered_json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "NO";
  return value.is_null() ? "-" : value.dump();
}

nlohmann::ordered_json MsOrNull(std::int64_t ms) {
  return ms < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ms);
}

}  // namespace quill::report
