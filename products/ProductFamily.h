#pragma once

#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "installer/Installer.h"
#include "products/Product.h"

// Every installed product that shares one upgrade code, as the installer reports them.
class ProductFamily {
 public:
  // Enumerates the related products at once; an upgrade code the installer does not know, or a
  // failing enumeration, gives an empty family (or ends it early).
  ProductFamily(installer::Installer& installer, std::wstring_view upgradeCode);
  virtual ~ProductFamily() = default;
  ProductFamily(const ProductFamily&) = delete;
  ProductFamily& operator=(const ProductFamily&) = delete;

  [[nodiscard]] virtual unsigned Count() const;

  // Hides the entry of every product but the newest. Returns how many were hidden.
  [[nodiscard]] virtual unsigned HideOldProducts();

  // Hides the entry of every product whose code does not start with productCode (any case of A
  // to Z). Returns how many were hidden.
  [[nodiscard]] virtual unsigned HideAllExcept(std::wstring_view productCode);

  // Uninstalls every product, newest first, with the installer's own interface switched off; the
  // products removed leave the family. Returns how many were removed.
  [[nodiscard]] virtual unsigned UninstallAll();

  // The product with the highest version, the first enumerated of equals; nullptr when empty.
  [[nodiscard]] Product* Newest() const;

  // The products in their current order: enumeration order until UninstallAll sorts them.
  const std::list<std::unique_ptr<Product>>& products() const noexcept { return products_; }

 private:
  std::wstring upgradeCode_;
  std::list<std::unique_ptr<Product>> products_;
  installer::Installer& installer_;
};
