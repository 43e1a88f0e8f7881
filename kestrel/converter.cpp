#include "kestrel/converter.h"

#include <cstdint>

#include "environment/directory_tree.h"
#include "environment/handoff_names.h"
#include "kestrel/free_file_name.h"
#include "platform/services.h"

namespace quill {
namespace {

constexpr std::int64_t kOutputDivisor = 3;
constexpr std::uint32_t kIdleWaitMs = 500;
constexpr std::uint32_t kOutputWaitMs = 3000;

}  // namespace

bool ProduceOutput(const std::string& inputPath) {
  platform::Services& system = platform::System();
  // One reading decides: every start within the same second agrees.
  const std::int64_t now = system.CalendarTime();
  if (now % kOutputDivisor != 0) {
    system.Sleep(kIdleWaitMs);
    return true;
  }
  system.Sleep(kOutputWaitMs);
  // The name is chosen only after the wait, so that starts of the same second
  // that wake one after the other each find the name the one before took.
  // A failure leaves no trace beyond what the folder creation records:
  // the launcher simply starts another converter.
  CreateEmptyFile(FreeFileName(handoff::OutputPath(inputPath)));
  return true;
}

}  // namespace quill
