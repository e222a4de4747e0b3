#include "installer/ExecutionMutex.h"

#include <windows.h>

#include "common/UniqueHandle.h"

namespace installer {
namespace {

constexpr const wchar_t* kExecutionMutex = L"Global\\_MSIExecute";

}  // namespace

bool WaitWhileInstallationRuns(unsigned long timeoutMilliseconds) noexcept {
  const UniqueKernelHandle mutex(
      OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, /*bInheritHandle=*/FALSE, kExecutionMutex));
  if (!mutex) {
    return true;
  }
  // Owning the mutex for a moment is how a free one shows; it goes straight back, before the
  // installer service needs it for the removal that follows.
  const DWORD waited = WaitForSingleObject(mutex.get(), timeoutMilliseconds);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    ReleaseMutex(mutex.get());
    return true;
  }
  return false;
}

}  // namespace installer
