#include "support/FakeInstaller.h"

#include <windows.h>

#include <algorithm>

#include "common/UniqueHandle.h"
#include "installer/InstallerCodes.h"

namespace {

constexpr unsigned kNoMoreItems = ERROR_NO_MORE_ITEMS;
constexpr unsigned kUnknownProduct = ERROR_UNKNOWN_PRODUCT;
constexpr unsigned kUnknownProperty = ERROR_UNKNOWN_PROPERTY;
constexpr int kUiLevelNoChange = 0;  // INSTALLUILEVEL_NOCHANGE

// Copies text as MsiGetProductInfoW does: whole, or ERROR_MORE_DATA when it does not fit.
unsigned CopyOut(const std::wstring& text, wchar_t* value, unsigned long* length) {
  if (text.size() + 1 > *length) {
    *length = static_cast<unsigned long>(text.size());
    return ERROR_MORE_DATA;
  }
  std::copy(text.begin(), text.end(), value);
  value[text.size()] = L'\0';
  *length = static_cast<unsigned long>(text.size());
  return installer::kSuccess;
}

}  // namespace

void FakeInstaller::Log(const std::wstring& line) const {
  if (logFile.empty()) {
    return;
  }
  const UniqueFile file(CreateFileW(logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::string bytes = std::string(line.begin(), line.end()) + "\r\n";
  DWORD written = 0;
  if (file) {
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

unsigned FakeInstaller::EnumRelatedProducts(const wchar_t* upgradeCode, unsigned long index,
                                            wchar_t* productCode) {
  calls.push_back(L"EnumRelatedProducts " + std::to_wstring(index));
  std::vector<const FakeProduct*> related;
  for (const FakeProduct& product : products) {
    if (product.related) {
      related.push_back(&product);
    }
  }
  if (upgradeCode != knownUpgradeCode || (index >= related.size() && !neverEnds)) {
    return kNoMoreItems;
  }
  if (index >= related.size()) {
    return ERROR_BAD_CONFIGURATION;
  }
  if (enumerationFailsAt && index >= *enumerationFailsAt) {
    return ERROR_BAD_CONFIGURATION;
  }
  const std::wstring& code = related[index]->productCode;
  std::copy(code.begin(), code.end(), productCode);
  productCode[code.size()] = L'\0';
  return installer::kSuccess;
}

unsigned FakeInstaller::GetPackageProperty(const wchar_t* packagePath, const wchar_t* property, wchar_t* value,
                                           unsigned long* length) {
  calls.push_back(std::wstring(L"GetPackageProperty ") + packagePath + L" " + property);
  const auto package = packages.find(packagePath);
  if (package == packages.end()) {
    return ERROR_OPEN_FAILED;
  }
  const auto found = package->second.find(property);
  return found == package->second.end() ? kUnknownProperty : CopyOut(found->second, value, length);
}

unsigned FakeInstaller::EnumProducts(unsigned long index, wchar_t* productCode) {
  calls.push_back(L"EnumProducts " + std::to_wstring(index));
  // Like msi.dll, the list of every product holds the machine's and the running user's only.
  std::vector<const FakeProduct*> listed;
  for (const FakeProduct& product : products) {
    if (product.otherUserSid.empty()) listed.push_back(&product);
  }
  if (index >= listed.size()) {
    return neverEnds ? ERROR_BAD_CONFIGURATION : kNoMoreItems;
  }
  const std::wstring& code = listed[index]->productCode;
  std::copy(code.begin(), code.end(), productCode);
  productCode[code.size()] = L'\0';
  return installer::kSuccess;
}

unsigned FakeInstaller::GetProductInfo(const wchar_t* productCode, const wchar_t* property,
                                       wchar_t* value, unsigned long* length) {
  calls.push_back(std::wstring(L"GetProductInfo ") + productCode + L" " + property);
  const auto product = std::find_if(products.begin(), products.end(),
                                    [&](const FakeProduct& p) { return p.productCode == productCode; });
  // Another user's product is unknown to the calls made for the running user.
  if (product == products.end() || !product->otherUserSid.empty()) {
    return kUnknownProduct;
  }
  const std::wstring name = property;
  const std::optional<std::wstring>* answer = nullptr;
  if (name == L"VersionString") {
    answer = &product->version;
  } else if (name == L"LocalPackage") {
    answer = &product->localPackage;
  } else if (name == L"PackageName") {
    answer = &product->packageName;
  }
  if (answer == nullptr) {
    const auto further = product->properties.find(name);
    return further == product->properties.end() ? kUnknownProperty
                                                : CopyOut(further->second, value, length);
  }
  if (!*answer) {
    return kUnknownProperty;
  }
  return CopyOut(**answer, value, length);
}

unsigned FakeInstaller::GetProductInfoEx(const wchar_t* productCode, const wchar_t* userSid, int context,
                                         const wchar_t* property, wchar_t* value, unsigned long* length) {
  calls.push_back(std::wstring(L"GetProductInfoEx ") + productCode + L" " + (userSid ? userSid : L"-") + L" " +
                  std::to_wstring(context) + L" " + property);
  const auto product = std::find_if(products.begin(), products.end(),
                                    [&](const FakeProduct& p) { return p.productCode == productCode; });
  const std::wstring whose = userSid ? userSid : L"";
  if (product == products.end() || product->context != context || product->otherUserSid != whose) {
    return kUnknownProduct;
  }
  if (std::wstring(property) == L"State") {
    return CopyOut(L"5", value, length);  // INSTALLSTATE_DEFAULT
  }
  if (std::wstring(property) == L"VersionString" && product->version) {
    return CopyOut(*product->version, value, length);
  }
  const auto further = product->properties.find(property);
  return further == product->properties.end() ? kUnknownProperty : CopyOut(further->second, value, length);
}

unsigned FakeInstaller::EnumInstallations(const wchar_t* productCode, unsigned long index, int* context,
                                          wchar_t* sid, unsigned long* sidLength) {
  calls.push_back(std::wstring(L"EnumInstallations ") + productCode + L" " + std::to_wstring(index));
  const auto product = std::find_if(products.begin(), products.end(),
                                    [&](const FakeProduct& p) { return p.productCode == productCode; });
  if (index > 0 || product == products.end() || product->otherUserSid.empty() || !product->listedForEveryUser) {
    return kNoMoreItems;
  }
  *context = product->context;
  return CopyOut(product->otherUserSid, sid, sidLength);
}

int FakeInstaller::SetInternalUI(int level) {
  calls.push_back(L"SetInternalUI " + std::to_wstring(level));
  // Like msi.dll: a refused level answers INSTALLUILEVEL_NOCHANGE, and asking for no change
  // answers the current level.
  if (uiLevelFails) {
    return kUiLevelNoChange;
  }
  if (level == kUiLevelNoChange) {
    return uiLevel;
  }
  const int previous = uiLevel;
  uiLevel = level;
  return previous;
}

unsigned FakeInstaller::ConfigureProductEx(const wchar_t* productCode, int installLevel,
                                           int installState, const wchar_t* commandLine) {
  calls.push_back(std::wstring(L"ConfigureProductEx ") + productCode + L" " +
                  std::to_wstring(installLevel) + L" " + std::to_wstring(installState) + L" " +
                  commandLine);
  Log(std::wstring(L"removing ") + productCode);
  const auto product = std::find_if(products.begin(), products.end(),
                                    [&](const FakeProduct& p) { return p.productCode == productCode; });
  if (product == products.end()) {
    return kUnknownProduct;
  }
  if (product->busyRemovals > 0) {
    --product->busyRemovals;
    return installer::kInstallAlreadyRunning;
  }
  if (installer::IsSuccess(product->configureResult)) {
    removed.push_back(productCode);
  }
  return product->configureResult;
}

unsigned FakeInstaller::InstallProduct(const wchar_t* packagePath, const wchar_t* commandLine) {
  calls.push_back(std::wstring(L"InstallProduct ") + packagePath + L" " + commandLine);
  Log(std::wstring(L"installing ") + packagePath);
  const bool existed = GetFileAttributesW(packagePath) != INVALID_FILE_ATTRIBUTES;
  installCalls.push_back({packagePath, commandLine, existed});
  const std::wstring path = packagePath;
  const std::wstring fileName = path.substr(path.find_last_of(L'\\') + 1);
  const auto product = std::find_if(products.begin(), products.end(), [&](const FakeProduct& p) {
    return p.packageName && *p.packageName == fileName;
  });
  if (product == products.end() || !existed) {
    return ERROR_INSTALL_PACKAGE_OPEN_FAILED;
  }
  if (installer::IsSuccess(product->installResult)) {
    removed.push_back(product->productCode);
  }
  return product->installResult;
}

int FakeInstaller::CallCount(const std::wstring& operation) const {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::wstring& call) {
    return call.compare(0, operation.size(), operation) == 0;
  }));
}

unsigned FakeInstaller::EnableLog(const wchar_t* logFile) {
  calls.push_back(std::wstring(L"EnableLog ") + (logFile != nullptr ? logFile : L"(none)"));
  this->logFile = logFile != nullptr ? logFile : L"";
  return installer::kSuccess;
}
