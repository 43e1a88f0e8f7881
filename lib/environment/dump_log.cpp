#include "environment/dump_log.h"

// Placeholder until the dump log is written: entries are dropped.

namespace quill {

bool WriteDumpEntry(const std::string& text) { return WriteDumpRecord(text); }

bool WriteDumpEntry(const char* text) {
  WriteDumpEntry(std::string(text ? text : ""));
  return true;
}

bool WriteDumpRecord(std::string /*bytes*/) { return false; }

std::string FlattenLineBreaks(const std::string& text, const std::string& replacement) {
  std::string flat;
  flat.reserve(text.size());
  for (char c : text) {
    if (c == '\r') {
      flat += replacement.substr(0, 1);
    } else if (c == '\n') {
      flat += replacement.size() > 1 ? replacement.substr(1) : std::string();
    } else {
      flat += c;
    }
  }
  return flat;
}

}  // namespace quill
