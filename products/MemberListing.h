#pragma once

#include <string>

#include "products/Product.h"

// One member of a family as the installer describes it.
struct MemberIdentity {
  enum class Context { kUnknown, kPerUser, kPerMachine };

  std::wstring productCode;
  std::wstring versionString;
  std::wstring productName;  // "InstalledProductName", else "ProductName"; empty when neither reads
  Context context = Context::kUnknown;  // where the installer finds the product
};

// One member of a family as /list shows it: what the installer and the registry say about it, and
// what each action would do with it. Reading it changes nothing.
struct MemberListing : MemberIdentity {
  EntryState entry32 = EntryState::kNone;
  EntryState entry64 = EntryState::kNone;
  bool keptByHide = false;        // the one member hiding leaves visible
  unsigned removalPosition = 0;   // 1 for the member /uninstall removes first

  // The one member /uninstall /keepnewest leaves installed: the one hiding keeps.
  bool keptByKeepNewest() const noexcept { return keptByHide; }
};
