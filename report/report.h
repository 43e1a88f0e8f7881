// quill-report as a function: the arguments in, the texts and status out.
#pragma once

#include <string>
#include <vector>

namespace quill::report {

struct ReportResult {
  int status = 0;      // 0 all answered, 1 some not, 2 bad usage or unreadable folder
  std::string output;  // for the standard output stream
  std::string error;   // for the standard error stream
};

// Reads the work folder and the dump files the arguments name (the program's
// own name left out) and makes the report. The only file it writes is the
// picture that --svg asks for.
ReportResult RunReport(const std::vector<std::string>& arguments);

}  // namespace quill::report
