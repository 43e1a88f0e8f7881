// Command-line splitting and quoting by the rules of the Windows C runtime.
//
// The POSIX backend starts programs with argument vectors built by
// `SplitCommandLine`, so a parameter string reaches a program as the same
// arguments on both systems.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill::platform {

// Splits `parameters` into arguments: blanks and tabs separate; double quotes
// group (also in mid-argument) and are removed; 2n backslashes before a
// double quote give n backslashes and the quote opens or closes a group;
// 2n+1 give n backslashes and a literal double quote; other backslashes are
// literal. A pair of quotes with nothing between them gives an empty argument.
std::vector<std::string> SplitCommandLine(std::string_view parameters);

// Quotes one argument so that `SplitCommandLine` gives it back unchanged.
std::string QuoteArgument(std::string_view argument);

}  // namespace quill::platform
