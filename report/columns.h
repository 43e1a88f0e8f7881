// The columns of a cycle that the table shows and the JSON names alike: one
// line each, so a new column is one line here, and the table, the JSON and
// the tests follow it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/cycles.h"

namespace quill::report {

struct Column {
  const char* heading;  // the table's heading
  const char* field;    // the JSON field
  bool right;           // aligned to the right (numbers) or left (text)
  nlohmann::ordered_json (*value)(const Cycle& cycle);
};

// The columns, in the table's order; the JSON object of a cycle has their
// fields in the same order after its type.
const std::vector<Column>& CycleColumns();

// A column's value as the table shows it: a text as it is, yes or NO, "-"
// for no value, a number in decimal.
std::string CellText(const nlohmann::ordered_json& value);

// A time in milliseconds, or null for none (a negative one).
nlohmann::ordered_json MsOrNull(std::int64_t ms);

}  // namespace quill::report
