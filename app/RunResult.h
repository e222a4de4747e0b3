#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "products/InstalledFamilies.h"
#include "products/MemberListing.h"
#include "products/MemberOutcome.h"

// What one run of the extended command line came to, whatever form reports it: the text records,
// the log and the JSON document are all drawn from this.

// The counts of an action's summary. A listing counts its members only.
struct RunSummary {
  std::size_t members = 0;
  std::size_t hidden = 0;         // hiding: hidden in at least one view, none failed
  std::size_t kept = 0;           // the newest hiding keeps, or the member /keepnewest keeps
  std::size_t noEntry = 0;        // hiding: no entry in either view
  std::size_t failed = 0;         // not hidden in a view, or not removed
  std::size_t removed = 0;        // removed either way, or gone already
  std::size_t restartNeeded = 0;  // of the removed
  std::size_t blocked = 0;        // another installation held the installer to the deadline
  std::size_t shown = 0;           // showing: shown in at least one view, none failed
  std::size_t alreadyVisible = 0;  // showing: nothing hidden to show
  std::size_t keptHidden = 0;      // showing: hidden, and kept so (see ShowOutcome::Kept)
  std::size_t otherUser = 0;       // another user's members, left as they are (in members too)
  // /families: the members count those of the families listed
  std::size_t families = 0;
  std::size_t withoutFamily = 0;          // installed products that no family holds
  std::size_t severalVisibleEntries = 0;  // families with more than one entry in Programs and Features
  std::size_t noVisibleEntry = 0;         // families that show no entry, though one could
  std::size_t orphanedEntries = 0;        // entries that claim the installer for no installed product
  // /list and /families: the enumerations not read to the end (/families: of the families and of
  // every installed product)
  std::size_t readShort = 0;
};

// An enumeration of the installer that the run did not read to the end (see EnumerationGaps).
struct ShortEnumeration {
  std::wstring upgradeCode;   // empty: the installer's list of every installed product
  unsigned long indexes = 0;  // the bound it reached
};

// Why a run stopped before its action was done: the exit code and its line on the standard error.
struct RunError {
  int code = 0;
  std::wstring message;
};

struct RunResult {
  std::vector<MemberIdentity> members;   // the family in enumeration order, read before the action
  std::vector<MemberListing> listing;    // /list
  InstalledFamilies installed;           // /families
  std::vector<MemberOutcome> outcomes;   // an action's, in the order of its report
  std::vector<ShortEnumeration> readShort;  // an action stops over its family's (a RunError)
  std::optional<RunSummary> summary;     // absent when the run stopped before its action was done
  int exitCode = 0;
  std::optional<RunError> error;
};

// The counts of an action's outcomes.
[[nodiscard]] RunSummary Summarize(const std::vector<MemberOutcome>& outcomes);

// The counts of a /families listing.
[[nodiscard]] RunSummary Summarize(const InstalledFamilies& installed);
