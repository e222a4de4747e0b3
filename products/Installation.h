#pragma once

#include <string>
#include <string_view>

#include "installer/Installer.h"

// Where a product is installed, as the account the tool runs as sees it.
struct Installation {
  enum class Context {
    kNone,       // no context and no user's record: a stale registration names it
    kMachine,    // per machine
    kThisUser,   // per user, for the user the tool runs as (managed or not)
    kOtherUser,  // per user, for another user: only a run in that user's context can change it
  };
  Context context = Context::kNone;
  std::wstring userSid;        // kOtherUser: the installing user's SID
  std::wstring productName;    // kOtherUser: from that user's install; empty when unreadable
  std::wstring versionString;  // kOtherUser: likewise

  // Whether the run can hide, show, keep or remove it: installed per machine or for its own user.
  bool ActsHere() const noexcept { return context == Context::kMachine || context == Context::kThisUser; }
};

// The context the installer finds the product in for the running user: installer::kContextMachine,
// kContextUserManaged or kContextUserUnmanaged, asked in that order; 0 when none answers.
[[nodiscard]] int RunningUserContext(installer::Installer& installer, std::wstring_view productCode);

// Finds the product's installation: first as the running user asks the installer (per machine,
// then per user managed, then unmanaged); then every user's, from the installer
// (MsiEnumProductsExW for all users, MsiGetProductInfoExW with the SID found) and, where it answers
// nothing, from its records under UserData (Wine 8 answers only per-machine products for all users).
// runningUserSid is the user the tool runs as, whose record is never another user's. Reads only.
[[nodiscard]] Installation FindInstallation(installer::Installer& installer, std::wstring_view productCode,
                                            std::wstring_view runningUserSid);
