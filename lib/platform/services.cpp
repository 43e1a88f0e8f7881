#include "platform/services.h"

#include "platform/environment.h"

namespace quill::platform {
namespace {

Services* current = nullptr;

}  // namespace

std::string Services::SpecialFolderPath(void* owner, int folderId) {
  return platform::SpecialFolderPath(owner, folderId);
}

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
