#include "products/ProductFamily.h"

#include "common/AsciiCase.h"
#include "installer/InstallerCodes.h"

namespace {

constexpr std::size_t kProductCodeBufferSize = 100;

}  // namespace

ProductFamily::ProductFamily(installer::Installer& installer, std::wstring_view upgradeCode)
    : upgradeCode_(upgradeCode), installer_(installer) {
  wchar_t productCode[kProductCodeBufferSize] = {};
  for (unsigned long index = 0;; ++index) {
    if (installer_.EnumRelatedProducts(upgradeCode_.c_str(), index, productCode) !=
        installer::kSuccess) {
      break;
    }
    products_.push_back(std::make_unique<Product>(installer_, productCode));
  }
}

unsigned ProductFamily::Count() const { return static_cast<unsigned>(products_.size()); }

Product* ProductFamily::Newest() const {
  Product* newest = nullptr;
  for (const std::unique_ptr<Product>& product : products_) {
    if (newest == nullptr || product->IsNewerThan(*newest)) {
      newest = product.get();
    }
  }
  return newest;
}

unsigned ProductFamily::HideOldProducts() {
  if (products_.size() < 2) {
    return 0;
  }
  // Only the one product Newest() chose stays visible, even beside another of the same version.
  const Product* newest = Newest();
  unsigned hidden = 0;
  for (const std::unique_ptr<Product>& product : products_) {
    if (product.get() != newest && product->HideFromAddRemove()) {
      ++hidden;
    }
  }
  return hidden;
}

unsigned ProductFamily::HideAllExcept(std::wstring_view productCode) {
  unsigned hidden = 0;
  for (const std::unique_ptr<Product>& product : products_) {
    const std::wstring code = product->GetProductCode();
    const bool spared =
        EqualsIgnoringAsciiCase(std::wstring_view(code).substr(0, productCode.size()), productCode);
    if (!spared && product->HideFromAddRemove()) {
      ++hidden;
    }
  }
  return hidden;
}

unsigned ProductFamily::UninstallAll() {
  if (Count() == 0) {
    return 0;
  }
  const int savedLevel = installer_.SetInternalUI(installer::kUiLevelNone);
  // std::list::sort is stable: products of equal version keep their enumeration order.
  products_.sort([](const std::unique_ptr<Product>& left, const std::unique_ptr<Product>& right) {
    return left->IsNewerThan(*right);
  });
  unsigned removed = 0;
  for (std::unique_ptr<Product>& product : products_) {
    if (product->Uninstall()) {
      product.reset();
      ++removed;
    }
  }
  // The level this returns is the tool's own kUiLevelNone, set above: nothing to keep.
  static_cast<void>(installer_.SetInternalUI(savedLevel));
  products_.remove(nullptr);
  return removed;
}
