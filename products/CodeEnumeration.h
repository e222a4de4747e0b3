#pragma once

#include <functional>
#include <string>
#include <vector>

// An index of an installer enumeration that gave no new product code: an error for that one entry
// (a corrupt registration value), a success that wrote nothing, or a code given again.
struct SkippedEntry {
  unsigned long index = 0;
  unsigned error = 0;  // the installer's answer; 0 when it answered success
  std::wstring text;   // what a success wrote instead of a new product code; empty for an error
};

// What an enumeration skipped on the way.
struct EnumerationGaps {
  std::vector<SkippedEntry> skipped;
  bool gaveUp = false;  // ended by kMaxSkippedInARow skipped indexes in a row, not by the installer
};

// The product codes an enumeration gave, and what it skipped.
struct EnumeratedCodes {
  std::vector<std::wstring> codes;  // each once, GUIDs in upper case (CanonicalGuid), in the installer's order
  EnumerationGaps gaps;
};

// Skipped indexes in a row after which an enumeration ends: far more than a damaged registration
// holds, so that an installer that never says "no more" cannot make the tool spin.
constexpr unsigned kMaxSkippedInARow = 1024;

// Calls enumerate(index, productCode) for the indexes 0, 1, 2, ... with a buffer of at least 39
// characters, zeroed before each call. An answer about one entry skips that index and goes on; the
// enumeration ends at "no more items", at "invalid parameter" (the call itself is wrong), or after
// kMaxSkippedInARow skipped indexes in a row.
[[nodiscard]] EnumeratedCodes EnumerateCodes(
    const std::function<unsigned(unsigned long index, wchar_t* productCode)>& enumerate);
