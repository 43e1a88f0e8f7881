#include "environment/open_retry.h"

#include <algorithm>
#include <limits>

#include "platform/files.h"
#include "platform/services.h"
#include "progress/progress_indicator.h"

namespace quill {
namespace {

constexpr std::uint32_t kPauseMs = 100;

// Ten attempts a second, at least one. Computed in 64 bits and capped at the
// largest signed 32-bit count, so huge second counts cannot overflow.
std::int32_t AttemptCount(std::int32_t seconds) {
  const std::int64_t attempts =
      static_cast<std::int64_t>(seconds) * 1000 / static_cast<std::int64_t>(kPauseMs);
  if (attempts <= 0) return 1;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(attempts, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::FILE* OpenFileWithRetry(const char* path, const char* mode, std::int32_t seconds) {
  if (path == nullptr || *path == '\0') return nullptr;
  // An empty mode can never open anything; it is not handed to the runtime.
  const bool usableMode = mode != nullptr && *mode != '\0';
  return OpenWithRetry(
      [&](bool*) -> std::FILE* { return usableMode ? platform::OpenStream(path, mode) : nullptr; },
      seconds);
}

std::FILE* OpenWithRetry(const std::function<std::FILE*(bool* refused)>& open,
                         std::int32_t seconds) {
  const std::int32_t attempts = AttemptCount(seconds);

  // This wait gets an overall count of its own even inside another one.
  ProgressIndicator::liveCount = 0;
  ConsoleProgressBar bar;
  bar.SetCaption("::Open_File ...");
  bar.SetTotal(static_cast<std::uint32_t>(attempts));

  std::FILE* stream = nullptr;
  for (std::int32_t attempt = 1; attempt <= attempts; ++attempt) {
    bool refused = false;
    stream = open(&refused);
    if (stream != nullptr || refused) break;
    platform::System().Sleep(kPauseMs);
    bar.Step();
  }
  return stream;
}

std::FILE* OpenFileWithRetry(const std::string& path, const std::string& mode,
                             std::int32_t seconds) {
  return OpenFileWithRetry(path.c_str(), mode.c_str(), seconds);
}

}  // namespace quill
