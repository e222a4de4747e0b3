#pragma once

#include <string>
#include <string_view>

#include "installer/Installer.h"

// One installed product of a family: its product code and the version the installer reports.
class Product {
 public:
  // Copies the code and reads the product's "VersionString" at once; a failed read leaves the
  // version empty.
  Product(installer::Installer& installer, std::wstring_view productCode);
  virtual ~Product() = default;
  Product(const Product&) = delete;
  Product& operator=(const Product&) = delete;

  virtual std::wstring GetProductCode() const;
  virtual std::wstring GetVersionString() const;

  // True when this version is strictly higher; an unparsable version counts as 0.0.0.0.
  [[nodiscard]] virtual bool IsNewerThan(const Product& other) const;

  // Writes SystemComponent = 1 under the product's uninstall key in each registry view where the
  // key has a DisplayName. True when at least one view was written.
  [[nodiscard]] virtual bool HideFromAddRemove();

  // Removes the product silently without a restart, from its cached package when the installer
  // refuses the plain removal. True when it was removed either way.
  [[nodiscard]] virtual bool Uninstall();

  // Reads the version as four numbers, -1 for each that the string does not give. False, with the
  // outputs untouched, when not even the first number can be read.
  [[nodiscard]] virtual bool ParseVersion(int& major, int& minor, int& build, int& revision) const;

  // Removes the product from a private copy of its cached package. True when the removal succeeded.
  [[nodiscard]] virtual bool UninstallFromCachedPackage();

 private:
  std::wstring productCode_;
  std::wstring versionString_;
  installer::Installer& installer_;
};
