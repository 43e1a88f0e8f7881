#include "launcher/shell_runner.h"

#include "environment/dump_log.h"
#include "launcher/converter_launch.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"

namespace quill {
namespace {

// The shell's own texts for the codes it documents; null for the others.
const char* ShellErrorText(platform::ShellResult code) {
  switch (code) {
    case 0:
      return "The operating system is out of memory or resources.";
    case 2:
      return "The specified file was not found.";
    case 3:
      return "The specified path was not found.";
    case 5:
      return "The operating system denied access to the specified file.";
    case 8:
      return "There was not enough memory to complete the operation.";
    case 11:
      return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26:
      return "A sharing violation occurred.";
    case 27:
      return "The filename association is incomplete or invalid.";
    case 28:
      return "The DDE transaction could not be completed because the request timed out.";
    case 29:
      return "The DDE transaction failed.";
    case 30:
      return "The DDE transaction could not be completed because other DDE transactions were "
             "being processed.";
    case 31:
      return "There is no application associated with the given file name extension.";
    case 32:
      return "The specified dynamic-link library was not found.";
    default:
      return nullptr;
  }
}

const char* Text(const char* text) {
  return text ? text : "";
}

}  // namespace

std::string ShellErrorReport(platform::ShellResult code, const std::string& operationText,
                             const std::string& fileText, const std::string& parametersText) {
  const char* known = ShellErrorText(code);
  std::string report = known ? known : "Error\n" + fileText + "\n" + parametersText;
  report += "\nOperation=" + Surround(operationText, '"');
  report += "\nFile=" + Surround(fileText, '"');
  // "Paramaters" is spelt so on purpose: it is the entry's field name as
  // readers of existing dump files search for it.
  report += "\nParamaters=" + Surround(parametersText, '"');
  return report;
}

bool ShellRunner::SetShowCommand(int show) {
  showCommand = show;
  return true;
}

bool ShellRunner::SetOperation(const char* verb) {
  operationText = Text(verb);
  operation = operationText.c_str();
  return true;
}

bool ShellRunner::SetFile(const char* name) {
  fileText = PathExists(Text(name)) ? Text(name) : FindProgram(Text(name));
  file = fileText.c_str();
  return true;
}

bool ShellRunner::SetParameters(const char* text) {
  parametersText = Text(text);
  parameters = parametersText.c_str();
  // A start form belongs to the parameters it was set for.
  startParameters = nullptr;
  return true;
}

bool ShellRunner::SetStartParameters(const char* text) {
  startParametersText = Text(text);
  startParameters = startParametersText.c_str();
  return true;
}

bool ShellRunner::Execute() {
  const char* given = startParameters != nullptr ? startParameters : parameters;
  platform::ShellRequest request;
  request.operation = operation;
  request.file = file;
  request.parameters = given;
  if (file == nullptr) {
    // With no file, the parameter string names what to open.
    request.file = given;
    request.parameters = nullptr;
  }
  request.directory = directory;
  request.showCommand = showCommand;
  static_cast<void>(ownerWindow);  // no window owns the request
  platform::ShellResult result = platform::System().ExecuteShellRequest(request);
  if (result > 32) return true;
  WriteDumpEntry(ShellErrorReport(result, operationText, fileText, parametersText));
  return false;
}

bool ShellRunner::Explore(const char* parameters) {
  SetFile("explorer.exe");
  SetParameters(parameters);
  return Execute();
}

}  // namespace quill
