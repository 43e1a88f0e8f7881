// The work of one start of the converter stand-in.
#pragma once

#include <string>

namespace quill {

// Decides by the clock whether this start produces output. In a second
// divisible by 3 it waits 3 s and creates the empty file `inputPath` + ".out"
// (or its first free numbered name), with its folder; otherwise it waits
// 0.5 s and touches nothing. Always true.
bool ProduceOutput(const std::string& inputPath);

}  // namespace quill
