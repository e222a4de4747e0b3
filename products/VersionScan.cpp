#include "products/VersionScan.h"

#include <cstdint>
#include <cwctype>
#include <limits>

namespace {

constexpr std::int64_t kLargest = std::numeric_limits<int>::max();
constexpr std::int64_t kSmallest = std::numeric_limits<int>::min();

// The runtime's own classification, which its formatted input skips by (it takes U+00A0, U+3000
// and more besides the ASCII white space), so that the two cannot drift apart.
bool IsFormattedInputSpace(wchar_t character) {
  return std::iswspace(static_cast<std::wint_t>(character)) != 0;
}

bool IsDigit(wchar_t character) { return character >= L'0' && character <= L'9'; }

// One "%d" conversion at position; advances it past the number. False when there is no digit.
bool ScanNumber(std::wstring_view text, std::size_t& position, int& number) {
  std::size_t at = position;
  while (at < text.size() && IsFormattedInputSpace(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
    negative = text[at] == L'-';
    ++at;
  }
  if (at == text.size() || !IsDigit(text[at])) {
    return false;
  }
  // Magnitude kept one past the limit at most, so it can never overflow itself.
  std::int64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    if (magnitude <= kLargest) {
      magnitude = magnitude * 10 + (text[at] - L'0');
    }
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  number = static_cast<int>(value > kLargest ? kLargest : value < kSmallest ? kSmallest : value);
  position = at;
  return true;
}

}  // namespace

int ScanVersionNumbers(std::wstring_view text, int (&components)[4]) noexcept {
  std::size_t position = 0;
  int count = 0;
  for (int& component : components) {
    if (count > 0) {
      if (position == text.size() || text[position] != L'.') {
        break;
      }
      ++position;
    }
    if (!ScanNumber(text, position, component)) {
      break;
    }
    ++count;
  }
  return count;
}
