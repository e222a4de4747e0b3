#pragma once

#include <optional>
#include <string>
#include <string_view>

// The SID of the user the tool acts as (the running token's user), as text: "S-1-5-21-...".
// Empty when the token cannot give it.
[[nodiscard]] std::wstring RunningUserSid();

// The account a SID names, "DOMAIN\name" (LookupAccountSidW); nullopt when it names none that this
// machine can resolve: a deleted account keeps its SID, a domain may be out of reach.
[[nodiscard]] std::optional<std::wstring> AccountNameOfSid(std::wstring_view sid);
