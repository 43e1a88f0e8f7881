#include "platform/environment.h"

#include <cstdlib>

namespace quill::platform {

std::string EnvironmentValue(const char* name) {
  if (name == nullptr) return std::string();
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace quill::platform
