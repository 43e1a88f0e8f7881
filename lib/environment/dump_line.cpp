#include "environment/dump_line.h"

#include "paths/path_strings.h"

namespace quill::dumpline {
namespace {

constexpr char kLineEnd[] = "\r\n";
// "YYYY/MM/DD HH:MM:SS", d standing for a digit.
constexpr std::string_view kStampShape = "dddd/dd/dd dd:dd:dd";

// The line without the LF and the CR that end it, where they do.
std::string_view WithoutReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool HasStampShape(std::string_view text) {
  if (text.size() != kStampShape.size()) return false;
  for (std::size_t i = 0; i < kStampShape.size(); ++i) {
    if (kStampShape[i] == 'd' ? !IsDigit(text[i]) : text[i] != kStampShape[i]) return false;
  }
  return true;
}

// The stamp, the first field after it and the rest after that field's TAB;
// false when the line is not of that form.
bool SplitLine(std::string_view line, EntryFields* fields) {
  line = WithoutReturn(line);
  const std::size_t stampEnd = kStampShape.size();
  if (line.size() <= stampEnd || line[stampEnd] != '\t') return false;
  const std::size_t tab = line.find('\t', stampEnd + 1);
  if (tab == std::string_view::npos || !HasStampShape(line.substr(0, stampEnd))) return false;
  *fields = EntryFields{line.substr(0, stampEnd), line.substr(stampEnd + 1, tab - stampEnd - 1),
                        line.substr(tab + 1)};
  return true;
}

// A header's first value, the user's name, is followed by two TABs, and so is
// every value after it: what follows the first field starts with a TAB and
// ends with two.
bool IsHeaderRest(std::string_view rest) {
  return !rest.empty() && rest.front() == '\t' && rest.size() >= 2 &&
         rest.substr(rest.size() - 2) == kBreakReplacement;
}

}  // namespace

std::string EntryLine(const std::string& stamp, const std::string& program,
                      const std::string& text) {
  std::string line = stamp;
  line += '\t';
  line += program;
  line += '\t';
  line += FlattenLineBreaks(text, kBreakReplacement);
  line += kLineEnd;
  return line;
}

std::string HeaderLine(const std::string& stamp, const StringList& values) {
  std::string info;
  for (const std::string& value : values) {
    info += value;
    info += kLineEnd;
  }
  std::string line = stamp;
  line += '\t';
  line += FlattenLineBreaks(info, kBreakReplacement);
  line += kLineEnd;
  return line;
}

bool ParseEntryLine(std::string_view line, EntryFields* fields) {
  EntryFields split;
  if (!SplitLine(line, &split) || IsHeaderRest(split.text)) return false;
  *fields = split;
  return true;
}

bool IsHeaderLine(std::string_view line) {
  EntryFields split;
  return SplitLine(line, &split) && IsHeaderRest(split.text);
}

bool ReadStamp(std::string_view stamp, std::tm* out) {
  if (!HasStampShape(stamp)) return false;
  auto number = [&stamp](std::size_t at, std::size_t length) {
    int value = 0;
    for (std::size_t i = at; i < at + length; ++i) value = value * 10 + (stamp[i] - '0');
    return value;
  };
  out->tm_year = number(0, 4) - 1900;
  out->tm_mon = number(5, 2) - 1;
  out->tm_mday = number(8, 2);
  out->tm_hour = number(11, 2);
  out->tm_min = number(14, 2);
  out->tm_sec = number(17, 2);
  return true;
}

std::string CantCreateText(const std::string& level) {
  return "Can't create " + level;
}

}  // namespace quill::dumpline

namespace quill {

std::string FlattenLineBreaks(const std::string& text, const std::string& replacement) {
  const std::string forCarriageReturn = replacement.substr(0, 1);
  const std::string forLineFeed = replacement.size() > 1 ? replacement.substr(1) : std::string();
  std::string flat;
  flat.reserve(text.size());
  for (char c : text) {
    if (c == '\r') {
      flat += forCarriageReturn;
    } else if (c == '\n') {
      flat += forLineFeed;
    } else {
      flat += c;
    }
  }
  return flat;
}

}  // namespace quill
