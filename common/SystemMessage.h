#pragma once

#include <string>

// "error 5, Access denied": the number and the system's text for it, without the trailing period;
// the number alone when the system has no text for it.
[[nodiscard]] std::wstring SystemErrorText(unsigned long error);
