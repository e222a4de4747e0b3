#pragma once

#include <string_view>

#include "common/AsciiCase.h"

// The help spellings both command lines accept, in the order they are tested, any case of A to Z.
inline constexpr std::wstring_view kHelpSwitches[] = {L"-?", L"--?",   L"/?",     L"-h",   L"--h",
                                                      L"/h", L"-help", L"--help", L"/help"};

inline bool IsHelpSwitch(std::wstring_view argument) {
  for (std::wstring_view helpSwitch : kHelpSwitches) {
    if (EqualsIgnoringAsciiCase(argument, helpSwitch)) {
      return true;
    }
  }
  return false;
}
