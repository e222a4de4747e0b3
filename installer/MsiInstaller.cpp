#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "common/UniqueHandle.h"
#include "installer/Installer.h"
#include "installer/InstallerCodes.h"

namespace installer {
namespace {

// What msiexec's /l*v asks for: every message kind, verbose.
constexpr DWORD kVerboseLogModes =
    INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING |
    INSTALLLOGMODE_USER | INSTALLLOGMODE_INFO | INSTALLLOGMODE_RESOLVESOURCE |
    INSTALLLOGMODE_OUTOFDISKSPACE | INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA |
    INSTALLLOGMODE_COMMONDATA | INSTALLLOGMODE_PROPERTYDUMP | INSTALLLOGMODE_VERBOSE;

using UniqueMsiHandle = UniqueHandle<MSIHANDLE, MsiCloseHandle>;

// The one value column of the Property table row the parameter names.
constexpr const wchar_t* kPropertyQuery = L"SELECT `Value` FROM `Property` WHERE `Property` = ?";
constexpr unsigned kValueField = 1;

// The user SID that asks MsiEnumProductsExW about every user of the machine.
constexpr const wchar_t* kEveryUser = L"s-1-1-0";

class MsiInstaller final : public Installer {
 public:
  unsigned EnumRelatedProducts(const wchar_t* upgradeCode, unsigned long index,
                               wchar_t* productCode) override {
    return MsiEnumRelatedProductsW(upgradeCode, /*dwReserved=*/0, index, productCode);
  }

  unsigned EnumProducts(unsigned long index, wchar_t* productCode) override {
    return MsiEnumProductsW(index, productCode);
  }

  unsigned GetProductInfo(const wchar_t* productCode, const wchar_t* property, wchar_t* value,
                          unsigned long* length) override {
    DWORD size = *length;
    const unsigned result = MsiGetProductInfoW(productCode, property, value, &size);
    *length = size;
    return result;
  }

  unsigned GetProductInfoEx(const wchar_t* productCode, const wchar_t* userSid, int context,
                            const wchar_t* property, wchar_t* value, unsigned long* length) override {
    DWORD size = *length;
    const unsigned result = MsiGetProductInfoExW(
        productCode, context == MSIINSTALLCONTEXT_MACHINE ? nullptr : userSid,
        static_cast<MSIINSTALLCONTEXT>(context), property, value, &size);
    *length = size;
    return result;
  }

  unsigned EnumInstallations(const wchar_t* productCode, unsigned long index, int* context,
                             wchar_t* sid, unsigned long* sidLength) override {
    MSIINSTALLCONTEXT installed = MSIINSTALLCONTEXT_NONE;
    DWORD size = *sidLength;
    const unsigned result =
        MsiEnumProductsExW(productCode, kEveryUser, MSIINSTALLCONTEXT_ALL, index,
                           /*szInstalledProductCode=*/nullptr, &installed, sid, &size);
    *context = static_cast<int>(installed);
    *sidLength = size;
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

  unsigned GetPackageProperty(const wchar_t* packagePath, const wchar_t* property, wchar_t* value,
                              unsigned long* length) override {
    UniqueMsiHandle database;
    unsigned result = MsiOpenDatabaseW(packagePath, MSIDBOPEN_READONLY, database.put());
    UniqueMsiHandle view;
    if (result == kSuccess) {
      result = MsiDatabaseOpenViewW(database.get(), kPropertyQuery, view.put());
    }
    const UniqueMsiHandle parameters(MsiCreateRecord(/*cParams=*/1));
    if (result == kSuccess) {
      result = MsiRecordSetStringW(parameters.get(), kValueField, property);
    }
    if (result == kSuccess) {
      result = MsiViewExecute(view.get(), parameters.get());
    }
    UniqueMsiHandle row;
    if (result == kSuccess) {
      result = MsiViewFetch(view.get(), row.put());
    }
    if (result == ERROR_NO_MORE_ITEMS) {
      return kUnknownProperty;
    }
    if (result != kSuccess) {
      return result;
    }
    DWORD size = *length;
    result = MsiRecordGetStringW(row.get(), kValueField, value, &size);
    *length = size;
    return result;
  }

  unsigned EnableLog(const wchar_t* logFile) override {
    if (logFile == nullptr) {
      return MsiEnableLogW(/*dwLogMode=*/0, /*szLogFile=*/nullptr, /*dwLogAttributes=*/0);
    }
    return MsiEnableLogW(kVerboseLogModes, logFile, INSTALLLOGATTRIBUTES_APPEND);
  }
};

}  // namespace

Installer& SystemInstaller() {
  static MsiInstaller installer;
  return installer;
}

}  // namespace installer
