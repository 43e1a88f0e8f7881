#include <utility>

#include "platform/fault_points.h"
#include "platform/shared_tree.h"

namespace quill::platform {

const internal::SharedFileFaults* internal::sharedFileFaults = nullptr;

SharedFolder::~SharedFolder() {
  if (handle_ != kNone) Close(handle_);
}

SharedFolder::SharedFolder(SharedFolder&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)), path_(std::move(other.path_)) {}

SharedFolder& SharedFolder::operator=(SharedFolder&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNone) Close(handle_);
    handle_ = std::exchange(other.handle_, kNone);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::string SharedFolder::Child(const char* name) const {
  std::string path = path_;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path + name;
}

}  // namespace quill::platform
