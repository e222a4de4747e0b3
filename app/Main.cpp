#include "app/CommandLine.h"
#include "app/ConsoleText.h"

// The entry function: the runtime's start-up code hands over the wide-character arguments.
int wmain(int argumentCount, wchar_t** arguments) {
  PrintBanner();
  CommandLine commandLine;
  commandLine.Parse(argumentCount, arguments);
  if (!commandLine.IsValid() || commandLine.help()) {
    PrintUsage();
  }
  return commandLine.Run();
}
