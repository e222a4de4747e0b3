#pragma once

// Another installation in progress holds the installer's execution mutex (Global\_MSIExecute).
namespace installer {

enum class InstallerActivity {
  kIdle,     // no installation holds the mutex, or there is none
  kBusy,     // another installation still holds it at the end of the wait
  kUnknown,  // the mutex cannot be opened (access denied): nothing can be told
};

// Waits up to timeoutMilliseconds while another installation holds the mutex. Only a mutex that
// is not there means no installation runs; any other failure to open it gives kUnknown, with the
// system's error number in error.
[[nodiscard]] InstallerActivity WaitWhileInstallationRuns(unsigned long timeoutMilliseconds,
                                                          unsigned long& error) noexcept;

}  // namespace installer
