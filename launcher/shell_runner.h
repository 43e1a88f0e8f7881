// Asking the shell to start a program, with failures recorded in the dump log.
#pragma once

#include <string>

#include "platform/services.h"

namespace quill {

// One shell request: operation, file, parameters, show command. A request the
// shell refuses is written to the debug dump log with its error text.
class ShellRunner {
 public:
  ShellRunner() = default;
  // The pointers below point into this object's own strings.
  ShellRunner(const ShellRunner&) = delete;
  ShellRunner& operator=(const ShellRunner&) = delete;

  // Offered by design; no program calls it.
  virtual bool SetShowCommand(int show);
  // The verb ("open", "print", ...); never set means the file's default action.
  // Offered by design; no program calls it.
  virtual bool SetOperation(const char* verb);
  // The file to start: `name` when it exists, else what `FindProgram` finds.
  virtual bool SetFile(const char* name);
  virtual bool SetParameters(const char* text);
  // The parameter string the start itself is given, where it must differ
  // from the one SetParameters set, which a refusal still shows. Without it,
  // and after every SetParameters, the start is given that one.
  bool SetStartParameters(const char* text);
  // True when the shell accepted the request; else false after a dump entry.
  virtual bool Execute();
  // Starts the Explorer with `parameters`.
  // Offered by design; no program calls it.
  virtual bool Explore(const char* parameters);

 private:
  void* ownerWindow = nullptr;
  int showCommand = 1;
  const char* operation = nullptr;
  const char* file = nullptr;
  const char* parameters = nullptr;
  const char* directory = nullptr;
  std::string operationText;
  std::string fileText;
  std::string parametersText;
  std::string directoryText;
  // Null until SetStartParameters.
  const char* startParameters = nullptr;
  std::string startParametersText;
};

// The dump entry for a refused request: the text of the shell's error code,
// then the operation, file and parameters, each on a line of its own.
std::string ShellErrorReport(platform::ShellResult code, const std::string& operationText,
                             const std::string& fileText, const std::string& parametersText);

}  // namespace quill
