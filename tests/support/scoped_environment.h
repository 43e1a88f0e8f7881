// Sets or removes an environment variable for one scope and restores it after.
#pragma once

#include <string>

#include "platform/environment.h"

namespace quill::test {

class ScopedEnvironmentValue {
 public:
  // `value` null removes the variable. The Windows runtime cannot hold an
  // empty value: there an empty `value` reads as unset through `getenv`.
  ScopedEnvironmentValue(const std::string& name, const char* value) : name_(name) {
    // The runtime answers empty for an unset variable; an empty value and an
    // unset one are restored alike, as unset.
    oldValue_ = platform::EnvironmentValue(name.c_str());
    platform::SetEnvironmentValue(name_.c_str(), value);
  }
  ~ScopedEnvironmentValue() {
    platform::SetEnvironmentValue(name_.c_str(), oldValue_.empty() ? nullptr : oldValue_.c_str());
  }
  ScopedEnvironmentValue(const ScopedEnvironmentValue&) = delete;
  ScopedEnvironmentValue& operator=(const ScopedEnvironmentValue&) = delete;

 private:
  std::string name_;
  std::string oldValue_;
};

}  // namespace quill::test
