// The dump log's lines, made and taken apart side by side: the entry line
// that WriteDumpEntry appends and quill-report reads back, the header line
// that starts a new hourly file, and the entry of a folder that cannot be
// made. The one file format that two programs exchange has its time stamp,
// field order and separators here only.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "paths/tokenize.h"

namespace quill::dumpline {

// "%Y/%m/%d %H:%M:%S": the local time at the start of every line.
constexpr char kStampFormat[] = "%Y/%m/%d %H:%M:%S";
// What every CR and LF of a line's text becomes, one TAB each.
constexpr char kBreakReplacement[] = "\t\t";

// `stamp` TAB `program` TAB `text` with its line breaks flattened, CR LF.
std::string EntryLine(const std::string& stamp, const std::string& program,
                      const std::string& text);
// `stamp` TAB, then each of `values` followed by a line break, all flattened
// (so each value ends in two TABs), CR LF.
std::string HeaderLine(const std::string& stamp, const StringList& values);

// The fields of an entry line, as views into it.
struct EntryFields {
  std::string_view stamp;
  std::string_view program;
  std::string_view text;
};
// Takes an entry line apart (the CR LF at its end, or a CR, left out). False for a header
// line and for a line of any other form; the stamp is checked for its shape
// only, not read.
bool ParseEntryLine(std::string_view line, EntryFields* fields);
// True for a header line: a stamp, TAB, and values that each end in two TABs.
bool IsHeaderLine(std::string_view line);
// Reads a stamp of the form "YYYY/MM/DD HH:MM:SS" into the date and time
// fields of `out` (nothing else is set); false for text of another shape.
bool ReadStamp(std::string_view stamp, std::tm* out);

// The entry text of a folder that cannot be made: "Can't create " + `level`.
std::string CantCreateText(const std::string& level);

}  // namespace quill::dumpline

namespace quill {

// `text` with every CR replaced by the first character of `replacement` and
// every LF by the rest of it.
std::string FlattenLineBreaks(const std::string& text, const std::string& replacement);

}  // namespace quill
