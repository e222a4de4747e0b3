#include "installer/InstallerCodes.h"
#include "products/PackageCopy.h"
#include "products/Product.h"

namespace {

constexpr unsigned long kPathBufferSize = 260;

}  // namespace

bool Product::Uninstall() {
  const std::wstring productCode = GetProductCode();
  const unsigned result =
      installer_.ConfigureProductEx(productCode.c_str(), installer::kInstallLevelMaximum,
                                    installer::kInstallStateAbsent, installer::kRemovalCommandLine);
  if (installer::IsSuccess(result)) {
    return true;
  }
  return UninstallFromCachedPackage();
}

bool Product::UninstallFromCachedPackage() {
  wchar_t localPackage[kPathBufferSize] = {};
  unsigned long length = kPathBufferSize;
  if (installer_.GetProductInfo(productCode_.c_str(), L"LocalPackage", localPackage, &length) !=
      installer::kSuccess) {
    return false;
  }
  wchar_t packageName[kPathBufferSize] = {};
  length = kPathBufferSize;
  if (installer_.GetProductInfo(productCode_.c_str(), L"PackageName", packageName, &length) !=
      installer::kSuccess) {
    return false;
  }
  PackageCopy copy;
  if (!copy.Create(localPackage, packageName)) {
    return false;
  }
  // The copy goes with `copy` whatever the removal returned.
  return installer::IsSuccess(
      installer_.InstallProduct(copy.path().c_str(), installer::kRemovalCommandLine));
}
