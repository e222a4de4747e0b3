#pragma once

#include <optional>
#include <string>

// What happened to one member of a family in an action, for the report of the extended command
// line. The classic actions only count; these say why.

// One registry view of a member's uninstall entry.
enum class EntryView { k32, k64 };

// What hiding did in one view.
struct ViewHideOutcome {
  enum class State {
    kNoEntry,    // no key, or a key without DisplayName: nothing is listed there to hide
    kHidden,     // SystemComponent = 1 written
    kNotHidden,  // an entry is there, but it could not be read whole or written
  };
  State state = State::kNoEntry;
  long error = 0;  // the registry's error number when kNotHidden
};

// What hiding did with a member's entry, view by view.
struct HideOutcome {
  ViewHideOutcome view32;
  ViewHideOutcome view64;

  bool AnyHidden() const noexcept {
    return view32.state == ViewHideOutcome::State::kHidden ||
           view64.state == ViewHideOutcome::State::kHidden;
  }
  bool AnyFailed() const noexcept {
    return view32.state == ViewHideOutcome::State::kNotHidden ||
           view64.state == ViewHideOutcome::State::kNotHidden;
  }
};

// What showing did in one view.
struct ViewShowOutcome {
  enum class State {
    kNoEntry,     // no key, or a key without DisplayName: nothing is listed there
    kVisible,     // listed already, and left as it is
    kShown,       // SystemComponent deleted
    kKeptHidden,  // hidden, and left so: the product asks for it, or that cannot be told
    kNotShown,    // hidden, but it could not be read whole or the value not deleted
  };
  State state = State::kNoEntry;
  long error = 0;  // the registry's error number when kNotShown
};

// What showing did with a member's entry, view by view, and why a hidden one stayed hidden.
struct ShowOutcome {
  enum class Kept {
    kNo,
    kByPackage,   // the installer's record or the cached package asks for it to be hidden
    kCannotTell,  // neither could be read
  };
  ViewShowOutcome view32;
  ViewShowOutcome view64;
  Kept kept = Kept::kNo;
  long recordError = 0;       // kCannotTell: why the installer's record could not be read
  unsigned packageError = 0;  // kCannotTell: why the cached package could not

  bool Any(ViewShowOutcome::State state) const noexcept {
    return view32.state == state || view64.state == state;
  }
};

// What removing a member did.
struct RemovalOutcome {
  enum class State {
    kRemoved,          // by its product code
    kRemovedFromCopy,  // refused by product code, removed from a copy of its cached package
    kNotRemoved,
    kBlocked,  // another installation held the installer until the wait's deadline
    kGone,     // no longer installed when its turn came (removed with another member, or by
               // another run): done, with nothing to remove
  };
  State state = State::kNotRemoved;
  bool restartNeeded = false;  // the removal that succeeded answered 3010 or 1641
  bool removalRan = false;     // the removal by product code was called
  unsigned removalError = 0;   // what it answered
  bool copyRan = false;        // a copy of the cached package was made and the removal ran from it
  unsigned copyError = 0;      // what the removal from the copy answered, when it ran
  std::wstring installerLog;   // the installer's verbose log of this removal; empty without one

  // Done: removed either way, or gone already.
  bool Removed() const noexcept {
    return state == State::kRemoved || state == State::kRemovedFromCopy || state == State::kGone;
  }
};

// One member's line of an action's report.
struct MemberOutcome {
  enum class Kind {
    kHide,              // hiding was tried: see hide
    kKeptNewest,        // the member hiding keeps visible
    kRemoval,           // removal was tried: see removal
    kKeptByKeepNewest,  // the member /keepnewest keeps installed
    kShow,              // showing was tried: see show
    kOtherUser,         // another user's install, left as it is: only that user's context acts on it
  };
  std::wstring productCode;
  std::wstring versionString;
  Kind kind = Kind::kHide;
  HideOutcome hide;
  RemovalOutcome removal;
  ShowOutcome show;
  std::wstring userSid;                  // kOtherUser: whose install
  std::optional<std::wstring> userName;  // kOtherUser: that user's account, when the SID resolves
};
