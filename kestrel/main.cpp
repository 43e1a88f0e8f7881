// The converter stand-in: `kestrel <input path>`.
#include <clocale>

#include "kestrel/converter.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc > 1) quill::ProduceOutput(argv[1]);
  return 0;
}
