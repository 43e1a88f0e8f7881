// The command line of quill-report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quill::report {

struct Options {
  bool all = false;
  bool hasSince = false;
  std::int64_t sinceMs = 0;
  bool json = false;
  std::string svgFile;     // empty: no picture
  std::string dumpFolder;  // empty: the shared dump folder
  std::string folder;      // empty: where launcher works
  bool help = false;
  std::string error;  // not empty when the command line is wrong
};

// The options of `arguments` (the program's own name left out). `nowSeconds`
// is the current calendar time, which a time of day without a date refers to.
Options ParseOptions(const std::vector<std::string>& arguments, std::int64_t nowSeconds);

// Every form of TIME that --since takes, in local time: a date and time (also
// with a T between them), a date and minute, a date (its midnight), a time or
// a minute of today. The usage text, the README and the manual page list
// these.
inline constexpr const char* kSinceForms[] = {"YYYY-MM-DD HH:MM:SS",
                                              "YYYY-MM-DDTHH:MM:SS",
                                              "YYYY-MM-DD HH:MM",
                                              "YYYY-MM-DD",
                                              "HH:MM:SS",
                                              "HH:MM"};

// A time of one of kSinceForms as calendar milliseconds; false for any other
// text and for a date that does not exist.
bool ParseSinceTime(const std::string& text, std::int64_t nowSeconds, std::int64_t* ms);

// The usage text, ending with a line feed.
std::string UsageText();

}  // namespace quill::report
