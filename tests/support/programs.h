// The built programs, which lie beside the test binaries.
#pragma once

#include <string>

#include "paths/path_strings.h"
#include "platform/environment.h"

namespace quill::test {

// The program `name` ("launcher" or "kestrel") beside this test binary.
inline std::string ProgramBesideTests(const char* name) {
  return AddTrailingSeparator(PathFolder(ModulePath()), '\\') + name + platform::kProgramSuffix;
}

}  // namespace quill::test
