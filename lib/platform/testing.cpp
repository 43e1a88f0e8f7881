#include "platform/testing.h"

#include <utility>

namespace quill::platform {

void SetSharedFileSeamsForTesting(const SharedFileSeams& seams) {
  static SharedFileSeams inForce;
  inForce = seams;
  internal::sharedFileFaults = &inForce;
}

ScopedSpecialFolder::ScopedSpecialFolder(int folderId, std::string path)
    : ForwardingServices(System()), folderId_(folderId), path_(std::move(path)), scope_(*this) {}

std::string ScopedSpecialFolder::SpecialFolderPath(void* owner, int folderId) {
  return folderId == folderId_ ? path_ : ForwardingServices::SpecialFolderPath(owner, folderId);
}

}  // namespace quill::platform
