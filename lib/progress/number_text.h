// Small text helpers for numbers and bracketed texts.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

// `value` written in `base` (clamped to 2..36, digits above 9 are "a" onward),
// most significant digit first, padded on the left with "0" up to `width`.
std::string NumberText(std::uint32_t value, int base, int width);

// `open` + `text` + the matching closing character: "(" ")", "<" ">", "[" "]",
// "{" "}"; any other character closes with itself.
std::string EncloseInPair(const std::string& text, char open);

}  // namespace quill
