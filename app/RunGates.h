#pragma once

#include <optional>

// The gates a classic run passes first, in this order: an invalid command line ends with 160, help
// with 0, a user outside the Administrators group with 5 (after the privilege error on the standard
// error). nullopt when the run goes on.
[[nodiscard]] std::optional<int> GateExitCode(bool valid, bool help);
