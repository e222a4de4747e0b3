#pragma once

#include <string_view>

// Reads up to four numbers separated by dots from the start of text, as formatted input with
// "%d.%d.%d.%d" would: each number may follow white space and carry a sign; the first missing dot
// or number ends the scan, and whatever follows is ignored. A number outside the signed 32-bit
// range saturates to the range's limit. Returns how many numbers were read (0 to 4); only those
// are written to components.
[[nodiscard]] int ScanVersionNumbers(std::wstring_view text, int (&components)[4]) noexcept;
