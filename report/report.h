// quill-report as a function: the arguments in, the texts and status out.
#pragma once

#include <string>
#include <vector>

namespace quill::report {

// The exit statuses, all of them: the usage text, the README and the manual
// page say the same.
enum ExitStatus : int {
  kAllAnswered = 0,     // every cycle of the report was answered, also when there is none
  kSomeUnanswered = 1,  // some were not
  kFailed = 2,          // for one of kFailedCauses, with a line on standard error
};
inline constexpr char kFailedCauses[] =
    "bad usage (with this text), a work folder that cannot be read, an SVG\n"
    "file that cannot be written, or a standard output that cannot be written";

struct ReportResult {
  int status = kAllAnswered;  // an ExitStatus
  std::string output;         // for the standard output stream
  std::string error;          // for the standard error stream
};

// Reads the work folder and the dump files the arguments name (the program's
// own name left out) and makes the report. The only file it writes is the
// picture that --svg asks for.
ReportResult RunReport(const std::vector<std::string>& arguments);

}  // namespace quill::report
