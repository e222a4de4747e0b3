#pragma once

// Waits out another installation, for the removals of one run, until a deadline counted from the
// start of the run.
class InstallerWait {
 public:
  static constexpr unsigned long kRetryPauseMilliseconds = 1000;

  // The deadline is seconds after startTick (a GetTickCount value). retryPauseMilliseconds is how
  // long a removal that the installer answered as busy waits before it is tried again.
  InstallerWait(unsigned long startTick, unsigned long seconds,
                unsigned long retryPauseMilliseconds = kRetryPauseMilliseconds) noexcept;

  // Waits while another installation runs; false when one still runs at the deadline.
  [[nodiscard]] bool UntilIdle() const noexcept;

  // After a removal answered 1618: pauses, then waits while another installation runs. False when
  // the deadline has come first.
  [[nodiscard]] bool BeforeRetry() const noexcept;

 private:
  unsigned long RemainingMilliseconds() const noexcept;

  unsigned long startTick_;
  unsigned long durationMilliseconds_;
  unsigned long retryPauseMilliseconds_;
};
