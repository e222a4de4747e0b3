#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "installer/Installer.h"
#include "products/CodeEnumeration.h"
#include "products/MemberListing.h"
#include "registry/InstallerEntries.h"

// One installed product family as /families lists it.
struct FamilyListing {
  std::wstring upgradeCode;
  std::vector<ProductListing> members;  // newest first; the first enumerated of equal versions first

  // How many uninstall entries of the family's members this run acts on Programs and Features
  // shows: another user's are left out, as hiding leaves them.
  unsigned VisibleEntries() const noexcept;
  // None shows, and hiding's repair would show one: see ProductFamily::ShowsNoEntryButCould.
  bool noVisibleEntry = false;
};

// Every family the installer knows a member of, and every product it knows that no family holds
// (a package without an upgrade code). Families come by their newest member's name, ignoring case,
// then by upgrade code; products without a family by name, then product code.
struct InstalledFamilies {
  std::vector<FamilyListing> families;
  std::vector<ProductListing> withoutFamily;
  // Uninstall entries that claim the installer for a product no user has installed: Programs and
  // Features lists them and cannot remove them. By name ignoring case, then code, then view.
  std::vector<InstallerEntry> orphanedEntries;
  unsigned staleMembers = 0;  // enumerated, but installed for no user: left out
  // What each enumeration skipped: a family's by its upgrade code, that of every product the
  // installer knows by an empty one. Only enumerations that skipped something are here. A family
  // read short lists only the members read before its bound (none: not listed), and a product of
  // it that was not read is listed without a family.
  std::vector<std::pair<std::wstring, EnumerationGaps>> gaps;
};

// Asks the installer for the members of each upgrade code (the same family as /list, with other
// users' members), leaves out the members no user has installed (a stale registration names them)
// and the codes left with none, lists the products no family holds, and the uninstall entries that
// claim the installer for a product no user has installed. Reads only: no registry write, no
// installer call that changes anything, no product or package opened.
[[nodiscard]] InstalledFamilies ListInstalledFamilies(installer::Installer& installer,
                                                      const std::vector<std::wstring>& upgradeCodes);

// Keeps the families where any member's name contains text, and the products without a family and
// the orphaned entries whose name does, ignoring case as ContainsIgnoringCase does.
void KeepNamesContaining(InstalledFamilies& installed, std::wstring_view text);
