#pragma once

#include <string_view>

// What the installer recorded of a product's wish to stay out of Programs and Features: the
// SystemComponent value it writes into its own registration (the InstallProperties key of
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UserData\<SID>\Products\<packed code>,
// 64-bit view), when the package authors ARPSYSTEMCOMPONENT or the install
// command line gives it. The tool's own hiding never writes there. Reads only.
struct RecordedHiding {
  enum class Answer {
    kHides,       // a registration of the product carries SystemComponent other than 0
    kDoesNotHide, // its registration is there and carries none
    kUnreadable,  // no registration of it could be read
  };
  Answer answer = Answer::kUnreadable;
  long error = 0;  // the registry's error when kUnreadable (2: no registration of it)
};

// Looks under every user's SID (per-machine products are under S-1-5-18, per-user ones under the
// installing user's), so that a product installed by any user is found.
[[nodiscard]] RecordedHiding ReadRecordedHiding(std::wstring_view productCode);
