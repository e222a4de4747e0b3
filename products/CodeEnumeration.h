#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// An index of an installer enumeration that gave no new product code: an error for that one entry
// (a corrupt registration value), a success that wrote nothing or no product code, or a code given
// again.
struct SkippedEntry {
  unsigned long index = 0;
  unsigned error = 0;  // the installer's answer; 0 when it answered success
  std::wstring text;   // what a success wrote instead of a new product code; empty for an error
};

// What an enumeration skipped on the way, and whether it was read to the end.
struct EnumerationGaps {
  std::vector<SkippedEntry> skipped;
  unsigned long bound = 0;  // the indexes it could ask
  bool readShort = false;   // the installer had not said "no more items" at the bound
};

// The product codes an enumeration gave, and what it skipped.
struct EnumeratedCodes {
  std::vector<std::wstring> codes;  // each once, braced GUIDs in upper case (CanonicalGuid), in the installer's order
  EnumerationGaps gaps;
};

// The indexes an enumeration asks beyond the entries the registration holds: room for an entry
// written while it runs.
constexpr unsigned long kEnumerationMargin = 16;

// Calls enumerate(index, productCode) for the indexes 0, 1, 2, ... below bound, with a buffer of at
// least 39 characters, zeroed before each call. An index whose answer is no new braced GUID is
// skipped; the enumeration ends at "no more items", at "invalid parameter" (the call itself is
// wrong), or at the bound, which makes it read short.
[[nodiscard]] EnumeratedCodes EnumerateCodes(
    unsigned long bound, const std::function<unsigned(unsigned long index, wchar_t* productCode)>& enumerate);

// The bound of the enumeration of upgradeCode's members: the values its registration holds
// (UpgradeCodeValueCount) and the margin.
[[nodiscard]] unsigned long RelatedProductsBound(std::wstring_view upgradeCode);

// The bound of the enumeration of every installed product: the product keys the registration holds
// (ProductKeyCount) and the margin.
[[nodiscard]] unsigned long ProductsBound();
