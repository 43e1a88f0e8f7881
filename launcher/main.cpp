// launcher: ten conversion cycles against the converter beside it. The
// command line is not looked at; the exit status is always 0.
#include <clocale>

#include "launcher/cycles.h"
#include "platform/services.h"

int main(int /*argc*/, char** /*argv*/) {
  std::setlocale(LC_ALL, "");
  // The progress line must not end the run when nobody reads it any more.
  quill::platform::IgnoreBrokenPipes();
  quill::RunCycles();
  return 0;
}
