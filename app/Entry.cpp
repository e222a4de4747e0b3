#include "app/Entry.h"

#include <optional>

#include "app/CommandLine.h"
#include "app/ConsoleText.h"
#include "app/ExitCodes.h"
#include "app/ExtendedCommandLine.h"
#include "app/ExtendedRun.h"
#include "common/ConsoleWrite.h"

namespace {

int RunCommandLine(int argumentCount, const wchar_t* const* arguments,
                   installer::Installer& installer) {
  CommandLine commandLine;
  commandLine.Parse(argumentCount, arguments);
  // A line the classic rules accept is theirs, whatever it holds; so is every line without a new
  // switch. The extended rules only ever turn an invalid line into a valid one.
  if (!commandLine.IsValid() && HasNewSwitch(argumentCount, arguments)) {
    if (const std::optional<ExtendedOptions> options =
            ParseExtendedCommandLine(argumentCount, arguments)) {
      // With /json the standard output holds the document alone; a help line has no document.
      PrintBanner(options->json ? StandardStream::kError : StandardStream::kOutput);
      if (options->help) {
        PrintUsage();
        return kExitSuccess;
      }
      return RunExtendedCommandLine(*options, installer);
    }
  }
  PrintBanner(StandardStream::kOutput);
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
  } catch (...) {
    WriteText(StandardStream::kError, StoppedRunMessage() + L"\n");
  }
  return kExitInstallFailure;
}
