#pragma once

namespace installer {
class Installer;
}

struct ExtendedOptions;

// The run of a valid extended command line that does not ask for help: the Administrators gate
// (5), the log file (110 when it cannot be opened, with one line on the standard error), then the
// action, whose outcomes give the exit code (see ResultExitCode). Report lines go to the standard
// output for /list and with /report, unless /json, and to the log file with /log:. With /json the
// standard output gets the run's JSON document once the run ends, however it ends. Returns the
// exit code.
int RunExtendedCommandLine(const ExtendedOptions& options, installer::Installer& installer);
