#include "installer/ExecutionMutex.h"

#include <windows.h>

#include "common/UniqueHandle.h"

namespace installer {
namespace {

constexpr const wchar_t* kExecutionMutex = L"Global\\_MSIExecute";

}  // namespace

InstallerActivity WaitWhileInstallationRuns(unsigned long timeoutMilliseconds,
                                            unsigned long& error) noexcept {
  const UniqueKernelHandle mutex(
      OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, /*bInheritHandle=*/FALSE, kExecutionMutex));
  if (!mutex) {
    error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? InstallerActivity::kIdle : InstallerActivity::kUnknown;
  }
  // Owning the mutex for a moment is how a free one shows; it goes straight back, before the
  // installer service needs it for the removal that follows. An abandoned mutex (its owner ended
  // without releasing it) is owned the same way and is free.
  const DWORD waited = WaitForSingleObject(mutex.get(), timeoutMilliseconds);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    ReleaseMutex(mutex.get());
    return InstallerActivity::kIdle;
  }
  return InstallerActivity::kBusy;
}

}  // namespace installer
