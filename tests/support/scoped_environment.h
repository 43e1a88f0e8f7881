// Sets or removes an environment variable for one scope and restores it after.
#pragma once

#include <cstdlib>
#include <deque>
#include <string>

#include "platform/platform.h"

namespace quill::testing {

class ScopedEnvironmentValue {
 public:
  // `value` null removes the variable. Windows cannot hold an empty value: an
  // empty `value` removes it there too.
  ScopedEnvironmentValue(const std::string& name, const char* value) : name_(name) {
    const char* old = std::getenv(name.c_str());
    wasSet_ = old != nullptr;
    if (wasSet_) oldValue_ = old;
    Put(value);
  }
  ~ScopedEnvironmentValue() { Put(wasSet_ ? oldValue_.c_str() : nullptr); }
  ScopedEnvironmentValue(const ScopedEnvironmentValue&) = delete;
  ScopedEnvironmentValue& operator=(const ScopedEnvironmentValue&) = delete;

 private:
  // `putenv` is in both C runtimes. glibc keeps the very string it is given,
  // so every string handed over lives to the end of the process; glibc removes
  // a variable given without "=", msvcrt one given with "=" and no value.
  void Put(const char* value) {
    static std::deque<std::string> handedOver;
    if (value != nullptr) {
      handedOver.push_back(name_ + "=" + value);
    } else {
      handedOver.push_back(platform::kWindows ? name_ + "=" : name_);
    }
    putenv(&handedOver.back()[0]);
  }

  std::string name_;
  bool wasSet_ = false;
  std::string oldValue_;
};

}  // namespace quill::testing
