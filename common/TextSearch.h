#pragma once

#include <string_view>

// True when text contains part, compared as Windows compares names for people: case is ignored in
// every script (É finds é), not only A to Z. An empty part is in every text.
[[nodiscard]] bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part);
