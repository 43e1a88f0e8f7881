// Finding the converter program and starting it on an input file.
#pragma once

#include <string>

namespace quill {

// Starts the converter beside this program on `inputPath` through the shell
// and returns at once; always true. A refused start is recorded with
// `QuoteIfNeeded` of the path as its parameters, on every system.
bool LaunchConverter(const std::string& inputPath);

// The parameter string that starts the converter on `inputPath`: on Windows
// `QuoteIfNeeded` of it; elsewhere a form that the start splits back into
// exactly `inputPath`, whatever quotes, blanks or shell characters it holds.
std::string ConverterParameters(const std::string& inputPath);

// `text` in double quotes when it holds a comma, tab, blank, CR or LF and is
// not already enclosed in a pair of double or single quotes.
std::string QuoteIfNeeded(const std::string& text);

// A path under which the program `name` exists: the name itself, the program
// files folders, or (for programs) the Windows and system folders; `name`
// unchanged when none exists.
std::string FindProgram(const std::string& name);

}  // namespace quill
