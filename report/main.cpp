// quill-report: what each hand-off cycle of launcher did, read from the work
// folder and the dump log.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "report/report.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const quill::report::ReportResult result = quill::report::RunReport(arguments);
  std::fwrite(result.output.data(), 1, result.output.size(), stdout);
  std::fflush(stdout);
  std::fwrite(result.error.data(), 1, result.error.size(), stderr);
  return result.status;
}
