#include "registry/ValueSpecFormat.h"

#include "registry/RootKeys.h"

namespace {

constexpr std::wstring_view kKeyPathEnd = L"\\\\";

std::wstring_view CutTrailingSpaces(std::wstring_view text) {
  while (!text.empty() && text.back() == L' ') {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::optional<ParsedValueSpec> ParseValueSpec(std::wstring_view spec) noexcept {
  const std::size_t rootEnd = spec.find(L'\\');
  if (rootEnd == std::wstring_view::npos) {
    return std::nullopt;
  }
  // The search starts at the root's own backslash, so ROOT\\NAME ends an empty key path there.
  const std::size_t pathEnd = spec.find(kKeyPathEnd, rootEnd);
  if (pathEnd == std::wstring_view::npos) {
    return std::nullopt;
  }
  ParsedValueSpec parsed;
  parsed.rootKey = FindRootKey(spec.substr(0, rootEnd));
  if (parsed.rootKey == nullptr) {
    return std::nullopt;
  }
  if (pathEnd > rootEnd) {
    parsed.keyPath = spec.substr(rootEnd + 1, pathEnd - rootEnd - 1);
  }
  const std::wstring_view rest = spec.substr(pathEnd + kKeyPathEnd.size());
  const std::size_t bar = rest.find(L'|');
  if (bar == std::wstring_view::npos) {
    parsed.valueName = CutTrailingSpaces(rest);
  } else {
    parsed.valueName = rest.substr(0, bar);
    parsed.data = CutTrailingSpaces(rest.substr(bar + 1));
  }
  return parsed;
}
