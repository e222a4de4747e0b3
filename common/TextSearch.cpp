#include "common/TextSearch.h"

#include <windows.h>

#include <string>

namespace {

// well-formed text in Unicode's composed form (NFC); as it is when the system cannot normalise it.
std::wstring ComposedRun(std::wstring_view text) {
  if (text.empty()) {
    return std::wstring(text);
  }
  const int length = static_cast<int>(text.size());
  // The first call only estimates; a longer buffer is tried when the estimate was short, a few
  // times at most.
  constexpr int kAttempts = 3;
  int size = NormalizeString(NormalizationC, text.data(), length, nullptr, 0);
  for (int attempt = 0; attempt < kAttempts && size > 0; ++attempt) {
    std::wstring composed(static_cast<std::size_t>(size), L'\0');
    const int written = NormalizeString(NormalizationC, text.data(), length, composed.data(), size);
    if (written > 0) {
      composed.resize(static_cast<std::size_t>(written));
      return composed;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      break;
    }
    size = -written;
  }
  return std::wstring(text);
}

// text in Unicode's composed form, an unpaired surrogate (a name written by a package can hold one)
// kept where it is: NormalizeString refuses a whole text that holds one, so each well-formed run
// between them is composed alone.
std::wstring Composed(std::wstring_view text) {
  std::wstring composed;
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 1 < text.size() && IS_SURROGATE_PAIR(text[i], text[i + 1])) {
      ++i;
    } else if (IS_HIGH_SURROGATE(text[i]) || IS_LOW_SURROGATE(text[i])) {
      composed += ComposedRun(text.substr(runStart, i - runStart));
      composed += text[i];
      runStart = i + 1;
    }
  }
  return composed + ComposedRun(text.substr(runStart));
}

// text mapped by the invariant locale's linguistic casing (LCMAP_UPPERCASE or LCMAP_LOWERCASE);
// as it is when that fails.
std::wstring MappedCase(const std::wstring& text, DWORD casing) {
  const DWORD flags = casing | LCMAP_LINGUISTIC_CASING;
  const int length = static_cast<int>(text.size());
  const int size = text.empty() ? 0
                                : LCMapStringEx(LOCALE_NAME_INVARIANT, flags, text.data(), length, nullptr, 0,
                                                /*lpVersionInformation=*/nullptr, /*lpReserved=*/nullptr,
                                                /*sortHandle=*/0);
  if (size <= 0) {
    return text;
  }
  std::wstring mapped(static_cast<std::size_t>(size), L'\0');
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, flags, text.data(), length, mapped.data(), size, nullptr, nullptr,
                    0) != size) {
    return text;
  }
  return mapped;
}

// Upper case first joins what lower case alone does not (final ς and σ both become Σ); lower case
// then joins the rest (ẞ and ß, Kelvin's K and k, İ and i).
std::wstring Folded(std::wstring_view text) {
  return MappedCase(MappedCase(Composed(text), LCMAP_UPPERCASE), LCMAP_LOWERCASE);
}

}  // namespace

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part) {
  return Folded(text).find(Folded(part)) != std::wstring::npos;
}
