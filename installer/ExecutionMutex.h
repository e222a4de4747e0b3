#pragma once

// Another installation in progress holds the installer's execution mutex (Global\_MSIExecute).
namespace installer {

// Waits up to timeoutMilliseconds while another installation holds the mutex. True when none holds
// it (or there is none); false when one still does at the end of the wait.
[[nodiscard]] bool WaitWhileInstallationRuns(unsigned long timeoutMilliseconds) noexcept;

}  // namespace installer
