#pragma once

#include <string_view>

namespace installer {
class Installer;
}

// What the action stage does with a family.
enum class FamilyAction {
  kNone,       // build the family (which asks the installer for its members) and stop
  kHideOld,    // hide every entry but the newest
  kUninstall,  // remove every member, newest first
};

// Builds the family of upgradeCode, carries out the action on it and destroys it again. Returns
// false, and changes nothing, when an action was asked of a family read short (see
// EnumerationGaps).
[[nodiscard]] bool RunActionStage(installer::Installer& installer, std::wstring_view upgradeCode,
                    FamilyAction action);
