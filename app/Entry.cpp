#include "app/Entry.h"

#include <new>

#include "app/CommandLine.h"
#include "app/ConsoleText.h"
#include "app/ExtendedCommandLine.h"
#include "app/ExitCodes.h"
#include "app/ReportWriter.h"
#include "common/ConsoleWrite.h"

namespace {

int RunCommandLine(int argumentCount, const wchar_t* const* arguments,
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

}  // namespace

int RunToolCommandLine(int argumentCount, const wchar_t* const* arguments,
                       installer::Installer& installer) {
  // The tool's own paths throw nothing; what can (an exhausted heap in a growing string or list)
  // ends the run with the installer's failure code, which deployment systems read, instead of a
  // crash code that none does.
  try {
    return RunCommandLine(argumentCount, arguments, installer);
  } catch (const std::bad_alloc&) {
    WriteText(StandardStream::kError, L"The run stopped: out of memory.\n");
  } catch (...) {
    WriteText(StandardStream::kError, L"The run stopped on an unexpected error.\n");
  }
  return kExitInstallFailure;
}
