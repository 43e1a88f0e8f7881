// The test binary's very last act at a normal exit: it writes the file that
// QUILL_EXIT_MARKER names, so a runner can tell a binary that ended normally
// from one that crashed after its report was written (under Wine such a
// crash can still end with status 0). The handler is registered before any
// other static object is made, so it runs after all of their destructors.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/environment.h"

namespace quill::test {
namespace {

std::string& MarkerPath() {
  static std::string* path = new std::string;  // never destroyed: used at the very end
  return *path;
}

void WriteMarker() {
  if (MarkerPath().empty()) return;
  if (std::FILE* marker = std::fopen(MarkerPath().c_str(), "w")) {
    std::fputs("ended normally\n", marker);
    std::fclose(marker);
  }
}

struct ExitMarker {
  ExitMarker() {
    MarkerPath() = platform::EnvironmentValue("QUILL_EXIT_MARKER");
    // The children that tests start are not the run whose end is marked.
    platform::SetEnvironmentValue("QUILL_EXIT_MARKER", nullptr);
    std::atexit(WriteMarker);
  }
};

__attribute__((init_priority(101))) const ExitMarker exitMarker;

}  // namespace
}  // namespace quill::test
