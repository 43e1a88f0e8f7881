#include "launcher/converter_launch.h"

#include <vector>

#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "launcher/shell_runner.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/command_line.h"
#include "platform/environment.h"

namespace quill {

bool LaunchConverter(const std::string& inputPath) {
  std::string parameters = QuoteIfNeeded(inputPath);
  std::string startParameters = ConverterParameters(inputPath);
  std::string program = AddTrailingSeparator(PathFolder(ModulePath()), '\\') +
                        handoff::kConverterProgram + platform::kProgramSuffix;
  ShellRunner runner;
  runner.SetFile(program.c_str());
  // A refusal shows the parameters as the plain quoting gives them on every
  // system; only the start needs the form that carries the path whole.
  runner.SetParameters(parameters.c_str());
  if (startParameters != parameters) runner.SetStartParameters(startParameters.c_str());
  runner.Execute();
  return true;
}

std::string ConverterParameters(const std::string& inputPath) {
  std::string parameters = QuoteIfNeeded(inputPath);
  if (platform::kWindows) return parameters;
  // Names here may hold double quotes, which the plain quoting cannot carry;
  // those get the full quoting that the start's splitting undoes exactly.
  const std::vector<std::string> arguments = platform::SplitCommandLine(parameters);
  if (arguments.size() == 1 && arguments.front() == inputPath) return parameters;
  return platform::QuoteArgument(inputPath);
}

std::string QuoteIfNeeded(const std::string& text) {
  if (text.find_first_of(",\t \r\n") == std::string::npos) return text;
  if (text.size() >= 2 && text.front() == LastChar(text) &&
      (text.front() == '"' || text.front() == '\'')) {
    return text;
  }
  return Surround(text, '"');
}

std::string FindProgram(const std::string& name) {
  std::string found = AddTrailingSeparator(SpecialFolder(CSIDL_PROGRAM_FILES), '\\') + name;
  if (PathExists(name)) found = name;
  if (!PathExists(found)) {
    std::string programFiles = "C:\\Program Files\\" + name;
    std::string programFilesX86 = "C:\\Program Files (x86)\\" + name;
    if (PathExists(programFiles)) {
      found = programFiles;
    } else if (PathExists(programFilesX86)) {
      found = programFilesX86;
    }
  }
  if (PathExists(found)) return found;
  // Only programs are looked for in the system's own folders.
  if (ToLower(PathExtension(name)) == platform::kProgramExtension) {
    std::string leaf = PathLeaf(name);
    std::string windows = AddTrailingSeparator(SpecialFolder(CSIDL_WINDOWS), '\\') + leaf;
    std::string system = AddTrailingSeparator(SpecialFolder(CSIDL_SYSTEM), '\\') + leaf;
    if (PathExists(windows)) {
      found = windows;
    } else if (PathExists(system)) {
      found = system;
    }
  }
  return PathExists(found) ? found : name;
}

}  // namespace quill
