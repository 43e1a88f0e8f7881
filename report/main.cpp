// quill-report: what each hand-off cycle of launcher did, read from the work
// folder and the dump log.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/services.h"
#include "report/report.h"

namespace {

// Writes `bytes` to standard output and closes it: 0 when everything went
// out, else the error number of the failure. Checked once, at the end,
// because a failed write may show only when the buffer is flushed.
int WriteStandardOutput(const std::string& bytes) {
  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  int error = written ? 0 : errno;
  const bool closed = std::fclose(stdout) == 0;
  if (error == 0 && !closed) {
    // A standard output that was never open is no failure when nothing was
    // meant for it.
    if (bytes.empty() && errno == EBADF) return 0;
    error = errno;
  }
  if ((!written || !closed) && error == 0) error = EIO;
  return error;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // A write that meets a closed pipe or the file size limit fails rather than
  // ending the process without a word; the limit is then reported.
  quill::platform::IgnoreBrokenPipes();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const quill::report::ReportResult result = quill::report::RunReport(arguments);
  const int error = WriteStandardOutput(result.output);
  std::fwrite(result.error.data(), 1, result.error.size(), stderr);
  // A reader that went away wants no more, and is not told.
  if (error == 0 || error == EPIPE) return result.status;
  const std::string line =
      std::string("quill-report: cannot write the standard output: ") + std::strerror(error) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  return quill::report::kFailed;
}
