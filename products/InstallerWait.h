#pragma once

#include <functional>

// Waits out another installation, for the removals of one run, until a deadline counted from the
// start of the run.
class InstallerWait {
 public:
  static constexpr unsigned long kRetryPauseMilliseconds = 1000;

  // Told once, with the system's error number, when the installer's execution mutex cannot be
  // opened: whether another installation runs then shows only in the removals' answers.
  using UnknownActivityNote = std::function<void(unsigned long error)>;

  // The deadline is seconds after startTick (a GetTickCount value). retryPauseMilliseconds is how
  // long a removal that the installer answered as busy waits before it is tried again.
  InstallerWait(unsigned long startTick, unsigned long seconds,
                unsigned long retryPauseMilliseconds = kRetryPauseMilliseconds,
                UnknownActivityNote onUnknownActivity = {}) noexcept;

  // Waits while another installation runs; false when one still runs at the deadline. When the
  // mutex cannot tell, true: the removal is tried and its answer retried (see BeforeRetry).
  [[nodiscard]] bool UntilIdle() const;

  // After a removal answered 1618: pauses, then waits while another installation runs. False, at
  // once, when the deadline comes before the pause ends, and when it comes during the wait.
  [[nodiscard]] bool BeforeRetry() const;

 private:
  unsigned long RemainingMilliseconds() const noexcept;

  unsigned long startTick_;
  unsigned long durationMilliseconds_;
  unsigned long retryPauseMilliseconds_;
  UnknownActivityNote onUnknownActivity_;
  mutable bool unknownActivityNoted_ = false;
};
