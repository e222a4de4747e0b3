#include "registry/PackedGuid.h"

#include <cwctype>
#include <utility>

#include "common/GuidText.h"

namespace {

constexpr std::size_t kHexDigits = 32;
// Where each group of the braced form starts among the 32 digits, and how many digits it has.
constexpr std::size_t kReversedGroups[][2] = {{0, 8}, {8, 4}, {12, 4}};
constexpr std::size_t kSwappedPairsStart = 16;
constexpr std::size_t kDashesBefore[] = {8, 12, 16, 20};

// The reordering is its own inverse: packing and unpacking are the same shuffle of 32 digits.
std::optional<std::wstring> Shuffle(std::wstring_view digits) {
  if (digits.size() != kHexDigits) {
    return std::nullopt;
  }
  std::wstring shuffled(digits);
  for (wchar_t& digit : shuffled) {
    if (!IsHexDigit(digit)) {
      return std::nullopt;
    }
    digit = static_cast<wchar_t>(std::towupper(digit));
  }
  for (const auto& group : kReversedGroups) {
    for (std::size_t i = 0; i < group[1]; ++i) {
      shuffled[group[0] + i] = static_cast<wchar_t>(std::towupper(digits[group[0] + group[1] - 1 - i]));
    }
  }
  for (std::size_t i = kSwappedPairsStart; i < kHexDigits; i += 2) {
    std::swap(shuffled[i], shuffled[i + 1]);
  }
  return shuffled;
}

}  // namespace

std::optional<std::wstring> UnpackGuid(std::wstring_view packed) {
  const std::optional<std::wstring> digits = Shuffle(packed);
  if (!digits) {
    return std::nullopt;
  }
  std::wstring guid = L"{";
  for (std::size_t i = 0; i < kHexDigits; ++i) {
    for (const std::size_t dash : kDashesBefore) {
      if (i == dash) {
        guid += L'-';
      }
    }
    guid += (*digits)[i];
  }
  return guid + L"}";
}

std::optional<std::wstring> PackGuid(std::wstring_view guid) {
  if (!IsBracedGuid(guid)) {
    return std::nullopt;
  }
  std::wstring digits;
  for (const wchar_t character : guid.substr(1, guid.size() - 2)) {
    if (character != L'-') {
      digits += character;
    }
  }
  return Shuffle(digits);
}
