// The converter stand-in: `kestrel <input path>`.
#include <clocale>

#include "kestrel/converter.h"
#include "platform/services.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // The retry's progress line must not end it when nobody reads it any more.
  quill::platform::IgnoreBrokenPipes();
  if (argc > 1) quill::ProduceOutput(argv[1]);
  return 0;
}
