#include "products/CodeEnumeration.h"

#include <set>

#include "common/GuidText.h"
#include "installer/InstallerCodes.h"

namespace {

// A product code and its end, with room to spare: Wine answers ERROR_MORE_DATA, not a longer text,
// for a registration value whose name is longer than a packed code.
constexpr std::size_t kProductCodeBufferSize = 100;

}  // namespace

EnumeratedCodes EnumerateCodes(
    const std::function<unsigned(unsigned long index, wchar_t* productCode)>& enumerate) {
  EnumeratedCodes enumerated;
  std::set<std::wstring> seen;
  unsigned skippedInARow = 0;
  for (unsigned long index = 0;; ++index) {
    // Zeroed each time: Wine answers success without writing for a value whose name is too short
    // to be a packed code, which would otherwise repeat the previous member.
    wchar_t productCode[kProductCodeBufferSize] = {};
    const unsigned result = enumerate(index, productCode);
    if (result == installer::kNoMoreItems || result == installer::kInvalidParameter) {
      break;
    }
    productCode[kProductCodeBufferSize - 1] = L'\0';
    const std::wstring code = CanonicalGuid(productCode);
    if (result == installer::kSuccess && !code.empty() && seen.insert(code).second) {
      enumerated.codes.push_back(code);
      skippedInARow = 0;
      continue;
    }
    enumerated.gaps.skipped.push_back({index, result, result == installer::kSuccess ? code : std::wstring()});
    if (++skippedInARow == kMaxSkippedInARow) {
      enumerated.gaps.gaveUp = true;
      break;
    }
  }
  return enumerated;
}
