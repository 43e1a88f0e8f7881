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

}  // namespace quill::platform
