#pragma once

// The Windows Installer operations the tool uses, with msi.dll's arguments and results
// (0 is success, anything else the installer's error number). Tests put a fake in its place.
namespace installer {

class Installer {
 public:
  virtual ~Installer() = default;

  // MsiEnumRelatedProductsW: fills productCode (at least 39 characters) with the index-th product
  // of the upgrade code's family; any other result than 0 ends the enumeration.
  [[nodiscard]] virtual unsigned EnumRelatedProducts(const wchar_t* upgradeCode,
                                                     unsigned long index, wchar_t* productCode) = 0;

  // MsiEnumProductsW: fills productCode (at least 39 characters) with the index-th product the
  // installer knows, of any family or none; any other result than 0 ends the enumeration.
  [[nodiscard]] virtual unsigned EnumProducts(unsigned long index, wchar_t* productCode) = 0;

  // MsiGetProductInfoW: length is the buffer's size in characters on the way in, and the value's
  // length on the way out.
  [[nodiscard]] virtual unsigned GetProductInfo(const wchar_t* productCode,
                                                const wchar_t* property, wchar_t* value,
                                                unsigned long* length) = 0;

  // MsiGetProductInfoExW for one user (userSid; nullptr is the current user) in one install
  // context (1 per-user managed, 2 per-user unmanaged, 4 per-machine, which takes no user): fails
  // when the product is not installed there.
  [[nodiscard]] virtual unsigned GetProductInfoEx(const wchar_t* productCode, const wchar_t* userSid,
                                                  int context, const wchar_t* property,
                                                  wchar_t* value, unsigned long* length) = 0;

  // MsiEnumProductsExW for one product code, every user (s-1-1-0) and every context: the
  // index-th installation of it, with its context and the installing user's SID (empty for a
  // per-machine one; sidLength in characters both ways). Any other result than 0 ends the list.
  [[nodiscard]] virtual unsigned EnumInstallations(const wchar_t* productCode, unsigned long index,
                                                   int* context, wchar_t* sid,
                                                   unsigned long* sidLength) = 0;

  // MsiSetInternalUI with no window: returns the level that was set before.
  [[nodiscard]] virtual int SetInternalUI(int level) = 0;

  // MsiConfigureProductExW.
  [[nodiscard]] virtual unsigned ConfigureProductEx(const wchar_t* productCode, int installLevel,
                                                    int installState,
                                                    const wchar_t* commandLine) = 0;

  // MsiInstallProductW.
  [[nodiscard]] virtual unsigned InstallProduct(const wchar_t* packagePath,
                                                const wchar_t* commandLine) = 0;

  // A property as the package file at packagePath authors it, the file opened read-only
  // (MsiOpenDatabaseW, a query of its Property table): length as for GetProductInfo. Answers
  // kUnknownProperty when the package does not author it, and the installer's error when the file
  // cannot be opened or read.
  [[nodiscard]] virtual unsigned GetPackageProperty(const wchar_t* packagePath,
                                                    const wchar_t* property, wchar_t* value,
                                                    unsigned long* length) = 0;

  // MsiEnableLogW: the installations that follow append a verbose log to logFile; nullptr stops
  // the logging.
  [[nodiscard]] virtual unsigned EnableLog(const wchar_t* logFile) = 0;
};

// The machine's Windows Installer service, through msi.dll.
Installer& SystemInstaller();

}  // namespace installer
