#include "products/CodeEnumeration.h"

#include <set>

#include "common/GuidText.h"
#include "installer/InstallerCodes.h"
#include "registry/RegistrationCounts.h"

namespace {

// A product code and its end, with room to spare: Wine answers ERROR_MORE_DATA, not a longer text,
// for a registration value whose name is longer than a packed code.
constexpr std::size_t kProductCodeBufferSize = 100;

}  // namespace

EnumeratedCodes EnumerateCodes(
    unsigned long bound, const std::function<unsigned(unsigned long index, wchar_t* productCode)>& enumerate) {
  EnumeratedCodes enumerated;
  enumerated.gaps.bound = bound;
  std::set<std::wstring> seen;
  for (unsigned long index = 0;; ++index) {
    if (index == bound) {
      enumerated.gaps.readShort = true;
      break;
    }
    // Zeroed each time: Wine answers success without writing for a value whose name is too short
    // to be a packed code, which would otherwise repeat the previous member.
    wchar_t productCode[kProductCodeBufferSize] = {};
    const unsigned result = enumerate(index, productCode);
    if (result == installer::kNoMoreItems || result == installer::kInvalidParameter) {
      break;
    }
    productCode[kProductCodeBufferSize - 1] = L'\0';
    const std::wstring code = CanonicalGuid(productCode);
    // Wine unpacks a value name of 32 characters that are not hex digits into a garbled code.
    if (result == installer::kSuccess && IsBracedGuid(code) && seen.insert(code).second) {
      enumerated.codes.push_back(code);
      continue;
    }
    enumerated.gaps.skipped.push_back({index, result, result == installer::kSuccess ? code : std::wstring()});
  }
  return enumerated;
}

unsigned long RelatedProductsBound(std::wstring_view upgradeCode) {
  return UpgradeCodeValueCount(upgradeCode) + kEnumerationMargin;
}

unsigned long ProductsBound() { return ProductKeyCount() + kEnumerationMargin; }
