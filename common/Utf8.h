#pragma once

#include <string>
#include <string_view>

// text as UTF-8; empty when it cannot be converted.
[[nodiscard]] std::string ToUtf8(std::wstring_view text);
