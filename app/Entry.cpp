#include "app/Entry.h"

#include "app/CommandLine.h"
#include "app/ConsoleText.h"
#include "app/ExtendedCommandLine.h"
#include "app/ReportWriter.h"

int RunToolCommandLine(int argumentCount, const wchar_t* const* arguments,
                       installer::Installer& installer) {
  PrintBanner();
  CommandLine commandLine;
  commandLine.Parse(argumentCount, arguments);
  // A line the classic rules accept is theirs, whatever it holds; so is every line without a new
  // switch. The extended rules only ever turn an invalid line into a valid one.
  if (!commandLine.IsValid() && ExtendedCommandLine::HasNewSwitch(argumentCount, arguments)) {
    ExtendedCommandLine extended;
    extended.Parse(argumentCount, arguments);
    if (extended.IsValid()) {
      if (extended.help()) {
        PrintUsage();
      }
      ReportWriter report;
      return extended.Run(installer, report);
    }
  }
  if (!commandLine.IsValid() || commandLine.help()) {
    PrintUsage();
  }
  return commandLine.Run(installer);
}
