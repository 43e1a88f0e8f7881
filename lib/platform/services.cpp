#include <cstdlib>

#include "platform/platform.h"

namespace quill::platform {
namespace {

Services* current = nullptr;

}  // namespace

Services& System() {
  return current != nullptr ? *current : RealServices();
}

ScopedServices::ScopedServices(Services& replacement) : previous_(current) {
  current = &replacement;
}

ScopedServices::~ScopedServices() {
  current = previous_;
}

std::string EnvironmentValue(const char* name) {
  if (name == nullptr) return std::string();
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace quill::platform
