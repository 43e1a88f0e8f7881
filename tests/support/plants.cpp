#include "support/plants.h"

namespace quill::testing {

const char* PlantName(Plant plant) {
  switch (plant) {
    case Plant::kFifo:
      return "FIFO";
    case Plant::kSocket:
      return "socket";
    case Plant::kFolder:
      return "folder";
    case Plant::kHardLink:
      return "hard link";
    case Plant::kSymbolicLink:
      return "symbolic link";
  }
  return "?";
}

}  // namespace quill::testing
