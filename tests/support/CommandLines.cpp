#include "support/CommandLines.h"

CommandLine ParseArguments(const std::vector<std::wstring>& arguments, const wchar_t* programPath) {
  std::vector<const wchar_t*> argv = {programPath};
  for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
  CommandLine commandLine;
  commandLine.Parse(static_cast<int>(argv.size()), argv.data());
  return commandLine;
}
