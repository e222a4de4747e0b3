#include "products/InstalledFamilies.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "common/TextSearch.h"
#include "common/UserAccount.h"
#include "products/ProductFamily.h"

namespace {

// By name ignoring case, the same order on every machine (ordinal, upper-cased by the system's
// table), then by code.
bool NameThenCodeBefore(const std::wstring& leftName, const std::wstring& leftCode,
                        const std::wstring& rightName, const std::wstring& rightCode) {
  const int order = CompareStringOrdinal(leftName.c_str(), static_cast<int>(leftName.size()), rightName.c_str(),
                                         static_cast<int>(rightName.size()), /*bIgnoreCase=*/TRUE);
  return order == CSTR_EQUAL ? leftCode < rightCode : order == CSTR_LESS_THAN;
}

// The family as /list shows it, in the order /uninstall removes it: newest first.
FamilyListing ListFamily(const ProductFamily& family, std::wstring_view upgradeCode, unsigned& stale) {
  std::vector<MemberListing> members = family.List();
  std::sort(members.begin(), members.end(), [](const MemberListing& left, const MemberListing& right) {
    return left.removalPosition < right.removalPosition;
  });
  FamilyListing listing;
  listing.upgradeCode = upgradeCode;
  for (const MemberListing& member : members) {
    // A stale registration value names a product the installer has not installed.
    if (member.context == MemberIdentity::Context::kUnknown) {
      ++stale;
    } else {
      listing.members.push_back(member);
    }
  }
  return listing;
}

void KeepGaps(std::wstring_view upgradeCode, const EnumerationGaps& gaps, InstalledFamilies& installed) {
  if (!gaps.skipped.empty() || gaps.readShort) {
    installed.gaps.emplace_back(upgradeCode, gaps);
  }
}

}  // namespace

unsigned FamilyListing::VisibleEntries() const noexcept {
  unsigned visible = 0;
  for (const ProductListing& member : members) {
    // Another user's entry is not this account's to hide: counted, hiding could never clear it.
    visible += member.context == MemberIdentity::Context::kOtherUser ? 0 : member.VisibleEntries();
  }
  return visible;
}

InstalledFamilies ListInstalledFamilies(installer::Installer& installer,
                                        const std::vector<std::wstring>& upgradeCodes) {
  InstalledFamilies installed;
  std::set<std::wstring> listed;  // the codes of the products listed so far
  for (const std::wstring& upgradeCode : upgradeCodes) {
    const ProductFamily related(installer, upgradeCode);
    KeepGaps(upgradeCode, related.enumerationGaps(), installed);
    FamilyListing family = ListFamily(related, upgradeCode, installed.staleMembers);
    if (family.members.empty()) {
      continue;
    }
    family.noVisibleEntry = related.ShowsNoEntryButCould();
    installed.families.push_back(std::move(family));
    for (const ProductListing& member : installed.families.back().members) {
      listed.insert(member.productCode);
    }
  }
  const EnumeratedCodes products =
      EnumerateCodes(ProductsBound(), [&installer](unsigned long index, wchar_t* productCode) {
        return installer.EnumProducts(index, productCode);
      });
  KeepGaps(L"", products.gaps, installed);
  const std::wstring runningUserSid = RunningUserSid();
  for (const std::wstring& productCode : products.codes) {
    if (listed.count(productCode) == 0) {
      Product product(installer, productCode);
      product.Locate(runningUserSid);
      installed.withoutFamily.push_back(ListingOf(product));
    }
    listed.insert(productCode);
  }
  for (InstallerEntry& entry : ReadInstallerEntries()) {
    if (listed.count(entry.productCode) == 0 &&
        FindInstallation(installer, entry.productCode, runningUserSid).context == Installation::Context::kNone) {
      installed.orphanedEntries.push_back(std::move(entry));
    }
  }
  std::sort(installed.orphanedEntries.begin(), installed.orphanedEntries.end(),
            [](const InstallerEntry& left, const InstallerEntry& right) {
              if (left.productCode == right.productCode) {
                return !left.view64 && right.view64;
              }
              return NameThenCodeBefore(left.displayName, left.productCode, right.displayName, right.productCode);
            });
  std::sort(installed.families.begin(), installed.families.end(),
            [](const FamilyListing& left, const FamilyListing& right) {
              return NameThenCodeBefore(left.members.front().productName, left.upgradeCode,
                                        right.members.front().productName, right.upgradeCode);
            });
  std::sort(installed.withoutFamily.begin(), installed.withoutFamily.end(),
            [](const ProductListing& left, const ProductListing& right) {
              return NameThenCodeBefore(left.productName, left.productCode, right.productName,
                                        right.productCode);
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
  installed.orphanedEntries.erase(
      std::remove_if(installed.orphanedEntries.begin(), installed.orphanedEntries.end(),
                     [text](const InstallerEntry& entry) { return !ContainsIgnoringCase(entry.displayName, text); }),
      installed.orphanedEntries.end());
}
