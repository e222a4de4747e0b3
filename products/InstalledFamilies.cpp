#include "products/InstalledFamilies.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "common/TextSearch.h"
#include "installer/InstallerCodes.h"
#include "products/ProductFamily.h"

namespace {

constexpr std::size_t kProductCodeCapacity = 39;

// Names ignoring case, the same order on every machine: ordinal, upper-cased by the system's table.
bool NameBefore(const std::wstring& left, const std::wstring& right) {
  return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                              static_cast<int>(right.size()), /*bIgnoreCase=*/TRUE) == CSTR_LESS_THAN;
}

bool NameEqual(const std::wstring& left, const std::wstring& right) {
  return !NameBefore(left, right) && !NameBefore(right, left);
}

FamilyListing ListFamily(const ProductFamily& family, std::wstring_view upgradeCode, unsigned& stale) {
  std::vector<const Product*> newestFirst;
  for (const std::unique_ptr<Product>& product : family.products()) {
    newestFirst.push_back(product.get());
  }
  std::stable_sort(newestFirst.begin(), newestFirst.end(),
                   [](const Product* left, const Product* right) { return left->IsNewerThan(*right); });
  FamilyListing listing;
  listing.upgradeCode = upgradeCode;
  std::set<std::wstring> listed;
  for (const Product* product : newestFirst) {
    // A registration that is not what it should be can name a product the installer has not
    // installed, or, under Wine, repeat one.
    if (!listed.insert(product->GetProductCode()).second) {
      continue;
    }
    ProductListing member = ListingOf(*product);
    if (member.context == MemberIdentity::Context::kUnknown) {
      ++stale;
    } else {
      listing.members.push_back(std::move(member));
    }
  }
  return listing;
}

}  // namespace

unsigned FamilyListing::VisibleEntries() const noexcept {
  unsigned visible = 0;
  for (const ProductListing& member : members) {
    visible += member.VisibleEntries();
  }
  return visible;
}

InstalledFamilies ListInstalledFamilies(installer::Installer& installer,
                                        const std::vector<std::wstring>& upgradeCodes) {
  InstalledFamilies installed;
  std::set<std::wstring> inAFamily;
  for (const std::wstring& upgradeCode : upgradeCodes) {
    FamilyListing family = ListFamily(ProductFamily(installer, upgradeCode), upgradeCode, installed.staleMembers);
    if (family.members.empty()) {
      continue;
    }
    installed.families.push_back(std::move(family));
    for (const ProductListing& member : installed.families.back().members) {
      inAFamily.insert(member.productCode);
    }
  }
  wchar_t productCode[kProductCodeCapacity] = {};
  for (unsigned long index = 0; installer.EnumProducts(index, productCode) == installer::kSuccess; ++index) {
    if (inAFamily.count(productCode) == 0) {
      installed.withoutFamily.push_back(ListingOf(Product(installer, productCode)));
    }
  }
  std::stable_sort(installed.families.begin(), installed.families.end(),
                   [](const FamilyListing& left, const FamilyListing& right) {
                     const std::wstring& leftName = left.members.front().productName;
                     const std::wstring& rightName = right.members.front().productName;
                     return NameEqual(leftName, rightName) ? left.upgradeCode < right.upgradeCode
                                                           : NameBefore(leftName, rightName);
                   });
  std::stable_sort(installed.withoutFamily.begin(), installed.withoutFamily.end(),
                   [](const ProductListing& left, const ProductListing& right) {
                     return NameEqual(left.productName, right.productName)
                                ? left.productCode < right.productCode
                                : NameBefore(left.productName, right.productName);
                   });
  return installed;
}

void KeepNamesContaining(InstalledFamilies& installed, std::wstring_view text) {
  const auto named = [text](const ProductListing& product) {
    return ContainsIgnoringCase(product.productName, text);
  };
  installed.families.erase(
      std::remove_if(installed.families.begin(), installed.families.end(),
                     [&named](const FamilyListing& family) {
                       return std::none_of(family.members.begin(), family.members.end(), named);
                     }),
      installed.families.end());
  installed.withoutFamily.erase(
      std::remove_if(installed.withoutFamily.begin(), installed.withoutFamily.end(),
                     [&named](const ProductListing& product) { return !named(product); }),
      installed.withoutFamily.end());
}
