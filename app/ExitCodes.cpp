#include "app/ExitCodes.h"

#include <new>

#include "app/RunResult.h"

int ResultExitCode(const RunSummary& summary) noexcept {
  if (summary.failed > 0) {
    return kExitInstallFailure;
  }
  if (summary.blocked > 0) {
    return kExitInstallerBusy;
  }
  return summary.restartNeeded > 0 ? kExitRestartNeeded : kExitSuccess;
}

std::wstring StoppedRunMessage() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return L"The run stopped: out of memory.";
  } catch (...) {
    return L"The run stopped on an unexpected error.";
  }
}
