#pragma once

#include <string>

struct RunSummary;

// Every exit code the tool ends with, and the policy that picks one for a run.

// The platform's own numbers for success, access denied and bad arguments: the classic command
// line ends with one of these whatever its action achieved.
constexpr int kExitSuccess = 0;
constexpr int kExitAccessDenied = 5;
constexpr int kExitBadArguments = 160;

// The extended command line's results, in the numbers deployment systems read: the log file could
// not be opened; a member could not be hidden or removed (also a run stopped by an exception);
// another installation held the installer; done, and a restart is needed.
constexpr int kExitLogNotOpened = 110;      // ERROR_OPEN_FAILED
constexpr int kExitInstallFailure = 1603;   // ERROR_INSTALL_FAILURE
constexpr int kExitInstallerBusy = 1618;    // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kExitRestartNeeded = 3010;    // ERROR_SUCCESS_REBOOT_REQUIRED

// The exit code of an action's summary: 1603 when a member could not be hidden or removed, else
// 1618 when another installation held the installer past the wait, else 3010 when a removal needs
// a restart, else 0.
[[nodiscard]] int ResultExitCode(const RunSummary& summary) noexcept;

// Called in a catch block: the one line that says why the run stopped, which then ends with
// kExitInstallFailure. An exhausted heap is the only exception the tool expects.
[[nodiscard]] std::wstring StoppedRunMessage();
