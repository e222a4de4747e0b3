#pragma once

// The process exit codes: the platform's own numbers for success, access denied and bad arguments.
constexpr int kExitSuccess = 0;
constexpr int kExitAccessDenied = 5;
constexpr int kExitBadArguments = 160;

// The extended command line's results, in the Windows Installer's numbers that deployment systems
// read: a member could not be hidden or removed; another installation held the installer; done,
// and a restart is needed.
constexpr int kExitInstallFailure = 1603;   // ERROR_INSTALL_FAILURE
constexpr int kExitInstallerBusy = 1618;    // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kExitRestartNeeded = 3010;    // ERROR_SUCCESS_REBOOT_REQUIRED
