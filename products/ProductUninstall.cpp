#include "installer/InstallerCodes.h"
#include "products/InstallerWait.h"
#include "products/PackageCopy.h"
#include "products/Product.h"

namespace {

constexpr unsigned long kPathBufferSize = 260;

bool NeedsRestart(unsigned result) {
  return result == installer::kSuccessRebootRequired ||
         result == installer::kSuccessRebootInitiated;
}

// Calls remove until it answers something else than "busy", or the wait gives up (at once without
// a wait).
template <typename Removal>
unsigned RetriedWhileBusy(const InstallerWait* wait, Removal remove) {
  unsigned result = remove();
  while (result == installer::kInstallAlreadyRunning && wait != nullptr && wait->BeforeRetry()) {
    result = remove();
  }
  return result;
}

}  // namespace

unsigned Product::RemoveByProductCode(const InstallerWait* wait) {
  const std::wstring productCode = GetProductCode();
  return RetriedWhileBusy(wait, [&] {
    return installer_.ConfigureProductEx(productCode.c_str(), installer::kInstallLevelMaximum,
                                         installer::kInstallStateAbsent,
                                         installer::kRemovalCommandLine);
  });
}

bool Product::Uninstall() {
  if (installer::IsSuccess(RemoveByProductCode())) {
    return true;
  }
  return UninstallFromCachedPackage();
}

bool Product::UninstallFromCachedPackage() {
  const CopyRemoval removal = RemoveFromCachedPackage();
  return removal.ran && installer::IsSuccess(removal.result);
}

RemovalOutcome Product::Remove(const InstallerWait* wait, const std::wstring& installerLog) {
  RemovalOutcome outcome;
  if (wait != nullptr && !wait->UntilIdle()) {
    outcome.state = RemovalOutcome::State::kBlocked;
    return outcome;
  }
  if (!installerLog.empty()) {
    // Without the installer's own log the removal still runs; the report then names none.
    if (installer_.EnableLog(installerLog.c_str()) == installer::kSuccess) {
      outcome.installerLog = installerLog;
    }
  }
  outcome.removalError = RemoveByProductCode(wait);
  if (installer::IsSuccess(outcome.removalError)) {
    outcome.state = RemovalOutcome::State::kRemoved;
    outcome.restartNeeded = NeedsRestart(outcome.removalError);
  } else if (outcome.removalError == installer::kInstallAlreadyRunning) {
    // A copy of the package cannot help while another installation holds the service.
    if (wait != nullptr) {
      outcome.state = RemovalOutcome::State::kBlocked;
    }
  } else {
    const CopyRemoval copy = RemoveFromCachedPackage(wait);
    outcome.copyRan = copy.ran;
    outcome.copyError = copy.result;
    if (copy.ran && installer::IsSuccess(copy.result)) {
      outcome.state = RemovalOutcome::State::kRemovedFromCopy;
      outcome.restartNeeded = NeedsRestart(copy.result);
    } else if (copy.ran && copy.result == installer::kInstallAlreadyRunning && wait != nullptr) {
      outcome.state = RemovalOutcome::State::kBlocked;
    }
  }
  if (!outcome.installerLog.empty()) {
    static_cast<void>(installer_.EnableLog(/*logFile=*/nullptr));  // the next member logs elsewhere
  }
  return outcome;
}

Product::CopyRemoval Product::RemoveFromCachedPackage(const InstallerWait* wait) {
  wchar_t localPackage[kPathBufferSize] = {};
  unsigned long length = kPathBufferSize;
  if (installer_.GetProductInfo(productCode_.c_str(), L"LocalPackage", localPackage, &length) !=
      installer::kSuccess) {
    return {};
  }
  wchar_t packageName[kPathBufferSize] = {};
  length = kPathBufferSize;
  if (installer_.GetProductInfo(productCode_.c_str(), L"PackageName", packageName, &length) !=
      installer::kSuccess) {
    return {};
  }
  PackageCopy copy;
  if (!copy.Create(localPackage, packageName)) {
    return {};
  }
  // The copy goes with `copy` whatever the removal returned.
  return {true, RetriedWhileBusy(wait, [&] {
            return installer_.InstallProduct(copy.path().c_str(), installer::kRemovalCommandLine);
          })};
}
