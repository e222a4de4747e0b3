#include "installer/InstallerCodes.h"
#include "products/PackageCopy.h"
#include "products/Product.h"

namespace {

constexpr unsigned long kPathBufferSize = 260;

bool NeedsRestart(unsigned result) {
  return result == installer::kSuccessRebootRequired ||
         result == installer::kSuccessRebootInitiated;
}

}  // namespace

unsigned Product::RemoveByProductCode() {
  const std::wstring productCode = GetProductCode();
  return installer_.ConfigureProductEx(productCode.c_str(), installer::kInstallLevelMaximum,
                                       installer::kInstallStateAbsent,
                                       installer::kRemovalCommandLine);
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

RemovalOutcome Product::Remove() {
  RemovalOutcome outcome;
  outcome.removalError = RemoveByProductCode();
  if (installer::IsSuccess(outcome.removalError)) {
    outcome.state = RemovalOutcome::State::kRemoved;
    outcome.restartNeeded = NeedsRestart(outcome.removalError);
    return outcome;
  }
  const CopyRemoval copy = RemoveFromCachedPackage();
  outcome.copyRan = copy.ran;
  outcome.copyError = copy.result;
  if (copy.ran && installer::IsSuccess(copy.result)) {
    outcome.state = RemovalOutcome::State::kRemovedFromCopy;
    outcome.restartNeeded = NeedsRestart(copy.result);
  }
  return outcome;
}

Product::CopyRemoval Product::RemoveFromCachedPackage() {
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
  return {true, installer_.InstallProduct(copy.path().c_str(), installer::kRemovalCommandLine)};
}
