#pragma once

#include <string_view>

// True when text contains part as people read names: both are compared in Unicode's composed form
// (é typed as one character finds e followed by a combining acute, and the other way round), with
// case folded in every script, by the same rule on every machine: each character is upper-cased,
// then lower-cased, by the invariant locale's tables. So É finds é, ẞ finds ß, Kelvin's K finds k,
// the ohm sign finds Ω, the angstrom sign Å, final ς finds σ, and Turkish İ and ı find I and i.
// An unpaired surrogate is kept as it is, and the text around it composed. Nothing else is
// ignored: accents, ß against ss, spaces and punctuation count. An empty part is in every text.
[[nodiscard]] bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part);
