#pragma once

#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "installer/Installer.h"

// What the installer answers for a refused operation (ERROR_INSTALL_FAILURE).
constexpr unsigned kInstallFailure = 1603;

// A product as the fake installer knows it, with the answers it gives for it.
struct FakeProduct {
  std::wstring productCode;
  std::optional<std::wstring> version;  // absent: reading "VersionString" fails
  std::optional<std::wstring> localPackage;
  std::optional<std::wstring> packageName;
  unsigned configureResult = 0;  // what MsiConfigureProductExW answers
  unsigned installResult = 0;    // what MsiInstallProductW answers for this product's package
  bool related = true;           // false: installed, but of another family
  int context = 4;               // the install context GetProductInfoEx finds it in (per machine)
  std::map<std::wstring, std::wstring> properties;  // further properties GetProductInfo gives
  int busyRemovals = 0;  // how many removals by product code answer 1618 before configureResult
  // Another user's per-user install (context then 2, for that SID only): the calls for the running
  // user answer 1605, and EnumInstallations lists it for that SID when listedForEveryUser.
  std::wstring otherUserSid;
  bool listedForEveryUser = true;
};

// Answers the installer calls from a list of products and records every call, for the answers
// Wine will not give on demand: a refused removal, a missing cached package, a failing member.
class FakeInstaller : public installer::Installer {
 public:
  static constexpr int kStartingUiLevel = 5;  // INSTALLUILEVEL_FULL, so a restore is visible

  explicit FakeInstaller(std::vector<FakeProduct> products = {}) : products(std::move(products)) {}

  unsigned EnumRelatedProducts(const wchar_t* upgradeCode, unsigned long index,
                               wchar_t* productCode) override;
  unsigned EnumProducts(unsigned long index, wchar_t* productCode) override;
  unsigned GetProductInfo(const wchar_t* productCode, const wchar_t* property, wchar_t* value,
                          unsigned long* length) override;
  unsigned GetProductInfoEx(const wchar_t* productCode, const wchar_t* userSid, int context,
                            const wchar_t* property, wchar_t* value, unsigned long* length) override;
  unsigned EnumInstallations(const wchar_t* productCode, unsigned long index, int* context, wchar_t* sid,
                             unsigned long* sidLength) override;
  int SetInternalUI(int level) override;
  unsigned ConfigureProductEx(const wchar_t* productCode, int installLevel, int installState,
                              const wchar_t* commandLine) override;
  unsigned InstallProduct(const wchar_t* packagePath, const wchar_t* commandLine) override;
  unsigned GetPackageProperty(const wchar_t* packagePath, const wchar_t* property, wchar_t* value,
                              unsigned long* length) override;
  unsigned EnableLog(const wchar_t* logFile) override;

  // How many calls so far start with the given operation name, e.g. L"SetInternalUI".
  int CallCount(const std::wstring& operation) const;

  std::vector<FakeProduct> products;
  std::wstring knownUpgradeCode = L"{00000000-0000-0000-0000-0000000000AA}";
  std::optional<unsigned long> enumerationFailsAt;  // the index at which enumeration reports an error
  // Past its products, every index of either enumeration answers ERROR_BAD_CONFIGURATION: the
  // installer never says "no more".
  bool neverEnds = false;
  bool uiLevelFails = false;  // MsiSetInternalUI answers INSTALLUILEVEL_NOCHANGE and changes nothing

  int uiLevel = kStartingUiLevel;
  std::vector<std::wstring> calls;  // "Operation argument..." per call, in order
  std::vector<std::wstring> removed;  // product codes removed, in order
  struct InstallCall {
    std::wstring packagePath;
    std::wstring commandLine;
    bool packageExisted;  // whether the file was there when the removal ran
  };
  std::vector<InstallCall> installCalls;
  // The properties each package file authors, by its path; a path not here cannot be opened.
  std::map<std::wstring, std::map<std::wstring, std::wstring>> packages;
  std::wstring logFile;  // what EnableLog set: each removal appends a line to it

 private:
  void Log(const std::wstring& line) const;
};

// An installer whose second removal by product code throws, as an exhausted heap would, after the
// first member is gone.
class StoppingInstaller : public FakeInstaller {
 public:
  using FakeInstaller::FakeInstaller;
  unsigned ConfigureProductEx(const wchar_t* code, int level, int state, const wchar_t* line) override {
    if (++removals_ == 2) throw std::bad_alloc();
    return FakeInstaller::ConfigureProductEx(code, level, state, line);
  }

 private:
  int removals_ = 0;
};
