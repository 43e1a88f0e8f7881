// Opening a file that another process may hold for a moment.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace quill {

// Opens `path` with the fopen `mode`, trying ten times a second for `seconds`
// seconds (at least once), pausing 100 ms after every failed attempt and
// showing a progress line while it waits. The stream, which the caller closes
// with fclose, or null; an empty path gives null at once.
std::FILE* OpenFileWithRetry(const char* path, const char* mode, std::int32_t seconds);
std::FILE* OpenFileWithRetry(const std::string& path, const std::string& mode,
                             std::int32_t seconds);

// The same wait, with `open` making each attempt: a stream, or null to try
// again after the pause. An attempt that answers null and sets its flag has
// met a name that trying again would do harm at: the wait ends at once with
// null.
std::FILE* OpenWithRetry(const std::function<std::FILE*(bool* refused)>& open,
                         std::int32_t seconds);

}  // namespace quill
