#include "app/RunGates.h"

#include "app/ExitCodes.h"
#include "security/UserInfo.h"

std::optional<int> GateExitCode(bool valid, bool help) {
  if (!valid) {
    return kExitBadArguments;
  }
  if (help) {
    return kExitSuccess;
  }
  if (!UserInfo().CheckAdministrator()) {
    return kExitAccessDenied;
  }
  return std::nullopt;
}
