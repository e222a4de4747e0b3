#include "app/RunResult.h"

#include <algorithm>

RunSummary Summarize(const std::vector<MemberOutcome>& outcomes) {
  RunSummary summary;
  summary.members = outcomes.size();
  for (const MemberOutcome& outcome : outcomes) {
    if (outcome.kind == MemberOutcome::Kind::kOtherUser) {
      ++summary.otherUser;
    } else if (outcome.kind == MemberOutcome::Kind::kKeptNewest ||
        outcome.kind == MemberOutcome::Kind::kKeptByKeepNewest) {
      ++summary.kept;
    } else if (outcome.kind == MemberOutcome::Kind::kShow) {
      using State = ViewShowOutcome::State;
      const ShowOutcome& show = outcome.show;
      ++(show.Any(State::kNotShown)     ? summary.failed
         : show.Any(State::kKeptHidden) ? summary.keptHidden
         : show.Any(State::kShown)      ? summary.shown
         : show.Any(State::kVisible)    ? summary.alreadyVisible
                                        : summary.noEntry);
    } else if (outcome.kind == MemberOutcome::Kind::kHide) {
      ++(outcome.hide.AnyFailed()   ? summary.failed
         : outcome.hide.AnyHidden() ? summary.hidden
                                    : summary.noEntry);
    } else if (outcome.removal.state == RemovalOutcome::State::kBlocked) {
      ++summary.blocked;
    } else if (outcome.removal.Removed()) {
      ++summary.removed;
      summary.restartNeeded += outcome.removal.restartNeeded ? 1 : 0;
    } else {
      ++summary.failed;
    }
  }
  return summary;
}

RunSummary Summarize(const InstalledFamilies& installed) {
  RunSummary summary;
  summary.families = installed.families.size();
  summary.withoutFamily = installed.withoutFamily.size();
  summary.orphanedEntries = installed.orphanedEntries.size();
  for (const FamilyListing& family : installed.families) {
    summary.members += family.members.size();
    summary.severalVisibleEntries += family.VisibleEntries() > 1 ? 1 : 0;
    summary.noVisibleEntry += family.noVisibleEntry ? 1 : 0;
    summary.otherUser += static_cast<std::size_t>(
        std::count_if(family.members.begin(), family.members.end(), [](const ProductListing& member) {
          return member.context == MemberIdentity::Context::kOtherUser;
        }));
  }
  for (const auto& gaps : installed.gaps) {
    summary.readShort += gaps.second.readShort ? 1 : 0;
  }
  return summary;
}
