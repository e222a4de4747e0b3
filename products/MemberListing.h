#pragma once

#include <optional>
#include <string>

#include "products/Product.h"

// One member of a family as the installer describes it.
struct MemberIdentity {
  enum class Context { kUnknown, kPerUser, kPerMachine, kOtherUser };

  std::wstring productCode;
  std::wstring versionString;
  std::wstring productName;  // "InstalledProductName", else "ProductName"; empty when neither reads
  Context context = Context::kUnknown;  // where the product is installed (Product::installation)
  std::wstring userSid;                 // kOtherUser: the user whose install it is
  std::optional<std::wstring> userName;  // kOtherUser: that user's account, when the SID resolves
};

// A product as /list and /families show it: what the installer and the registry say about it.
struct ProductListing : MemberIdentity {
  EntryState entry32 = EntryState::kNone;
  EntryState entry64 = EntryState::kNone;

  // How many uninstall entries Programs and Features shows for it: 0, 1 or one in each view.
  unsigned VisibleEntries() const noexcept {
    return (entry32 == EntryState::kVisible ? 1u : 0u) + (entry64 == EntryState::kVisible ? 1u : 0u);
  }
};

// One member of a family as /list shows it, with what each action would do with it. Reading it
// changes nothing.
struct MemberListing : ProductListing {
  bool keptByHide = false;        // the one member hiding leaves visible
  unsigned removalPosition = 0;   // 1 for the member /uninstall removes first; 0: another user's, left

  // The one member /uninstall /keepnewest leaves installed: the one hiding keeps.
  bool keptByKeepNewest() const noexcept { return keptByHide; }
};

// The product as the installer describes it now: code, version, name and where Locate found it
// installed (another user's from that user's install, with the account's name).
[[nodiscard]] MemberIdentity IdentityOf(const Product& product);

// The same, with the state of its uninstall entry in each registry view. Reads only.
[[nodiscard]] ProductListing ListingOf(const Product& product);
