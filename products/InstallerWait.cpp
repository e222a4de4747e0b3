#include "products/InstallerWait.h"

#include <windows.h>

#include <algorithm>

#include "installer/ExecutionMutex.h"

namespace {

constexpr unsigned long kMillisecondsPerSecond = 1000;

}  // namespace

InstallerWait::InstallerWait(unsigned long startTick, unsigned long seconds,
                             unsigned long retryPauseMilliseconds) noexcept
    : startTick_(startTick),
      durationMilliseconds_(seconds * kMillisecondsPerSecond),
      retryPauseMilliseconds_(retryPauseMilliseconds) {}

unsigned long InstallerWait::RemainingMilliseconds() const noexcept {
  // Unsigned differences of tick counts stay right across the counter's wrap every 49.7 days.
  const unsigned long elapsed = GetTickCount() - startTick_;
  return elapsed >= durationMilliseconds_ ? 0 : durationMilliseconds_ - elapsed;
}

bool InstallerWait::UntilIdle() const noexcept {
  return installer::WaitWhileInstallationRuns(RemainingMilliseconds());
}

bool InstallerWait::BeforeRetry() const noexcept {
  const unsigned long remaining = RemainingMilliseconds();
  if (remaining == 0) {
    return false;
  }
  Sleep(std::min(retryPauseMilliseconds_, remaining));
  return RemainingMilliseconds() > 0 && UntilIdle();
}
