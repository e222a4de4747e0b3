#include <windows.h>

#include <msi.h>

#include "installer/Installer.h"

namespace installer {
namespace {

class MsiInstaller final : public Installer {
 public:
  unsigned EnumRelatedProducts(const wchar_t* upgradeCode, unsigned long index,
                               wchar_t* productCode) override {
    return MsiEnumRelatedProductsW(upgradeCode, /*dwReserved=*/0, index, productCode);
  }

  unsigned GetProductInfo(const wchar_t* productCode, const wchar_t* property, wchar_t* value,
                          unsigned long* length) override {
    DWORD size = *length;
    const unsigned result = MsiGetProductInfoW(productCode, property, value, &size);
    *length = size;
    return result;
  }

  unsigned GetProductInfoEx(const wchar_t* productCode, int context, const wchar_t* property,
                            wchar_t* value, unsigned long* length) override {
    DWORD size = *length;
    const unsigned result =
        MsiGetProductInfoExW(productCode, /*szUserSid=*/nullptr,
                             static_cast<MSIINSTALLCONTEXT>(context), property, value, &size);
    *length = size;
    return result;
  }

  int SetInternalUI(int level) override {
    return MsiSetInternalUI(static_cast<INSTALLUILEVEL>(level), /*phWnd=*/nullptr);
  }

  unsigned ConfigureProductEx(const wchar_t* productCode, int installLevel, int installState,
                              const wchar_t* commandLine) override {
    return MsiConfigureProductExW(productCode, installLevel,
                                  static_cast<INSTALLSTATE>(installState), commandLine);
  }

  unsigned InstallProduct(const wchar_t* packagePath, const wchar_t* commandLine) override {
    return MsiInstallProductW(packagePath, commandLine);
  }
};

}  // namespace

Installer& SystemInstaller() {
  static MsiInstaller installer;
  return installer;
}

}  // namespace installer
