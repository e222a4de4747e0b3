#pragma once

#include <string_view>

enum class StandardStream { kOutput, kError };

// Writes text to a standard stream: to a console as it is, to a file or pipe as UTF-8.
// A failed write is ignored; the tool's result never depends on it.
void WriteText(StandardStream stream, std::wstring_view text);
