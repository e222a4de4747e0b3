#include "products/InstallerWait.h"

#include <windows.h>

#include <utility>

#include "installer/ExecutionMutex.h"

namespace {

constexpr unsigned long kMillisecondsPerSecond = 1000;

}  // namespace

InstallerWait::InstallerWait(unsigned long startTick, unsigned long seconds,
                             unsigned long retryPauseMilliseconds,
                             UnknownActivityNote onUnknownActivity) noexcept
    : startTick_(startTick),
      durationMilliseconds_(seconds * kMillisecondsPerSecond),
      retryPauseMilliseconds_(retryPauseMilliseconds),
      onUnknownActivity_(std::move(onUnknownActivity)) {}

unsigned long InstallerWait::RemainingMilliseconds() const noexcept {
  // Unsigned differences of tick counts stay right across the counter's wrap every 49.7 days.
  const unsigned long elapsed = GetTickCount() - startTick_;
  return elapsed >= durationMilliseconds_ ? 0 : durationMilliseconds_ - elapsed;
}

bool InstallerWait::UntilIdle() const {
  unsigned long error = 0;
  switch (installer::WaitWhileInstallationRuns(RemainingMilliseconds(), error)) {
    case installer::InstallerActivity::kIdle:
      return true;
    case installer::InstallerActivity::kBusy:
      return false;
    case installer::InstallerActivity::kUnknown:
      break;
  }
  if (!unknownActivityNoted_ && onUnknownActivity_) {
    unknownActivityNoted_ = true;
    onUnknownActivity_(error);
  }
  return true;
}

bool InstallerWait::BeforeRetry() const {
  // A try after the pause would come at or after the deadline: none is made.
  if (RemainingMilliseconds() <= retryPauseMilliseconds_) {
    return false;
  }
  Sleep(retryPauseMilliseconds_);
  return UntilIdle();
}
