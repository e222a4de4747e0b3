#include "app/JsonDocument.h"

#include <string_view>

#include "app/ExtendedCommandLine.h"
#include "app/ReportText.h"
#include "app/RunResult.h"
#include "app/ToolVersion.h"
#include "common/JsonWriter.h"

namespace {

const wchar_t* ActionName(ExtendedAction action) {
  switch (action) {
    case ExtendedAction::kList:
      return L"list";
    case ExtendedAction::kHideOld:
      return L"hide";
    case ExtendedAction::kFamilies:
      return L"families";
    case ExtendedAction::kShow:
      return L"showaddremoves";
    case ExtendedAction::kUninstall:
    case ExtendedAction::kNone:
      break;
  }
  return L"uninstall";
}

const wchar_t* ViewStateName(ViewHideOutcome::State state) {
  switch (state) {
    case ViewHideOutcome::State::kHidden:
      return L"hidden";
    case ViewHideOutcome::State::kNotHidden:
      return L"not-hidden";
    case ViewHideOutcome::State::kNoEntry:
      break;
  }
  return L"no-entry";
}

const wchar_t* ViewStateName(ViewShowOutcome::State state) {
  switch (state) {
    case ViewShowOutcome::State::kVisible:
      return L"visible";
    case ViewShowOutcome::State::kShown:
      return L"shown";
    case ViewShowOutcome::State::kKeptHidden:
      return L"hidden";
    case ViewShowOutcome::State::kNotShown:
      return L"not-shown";
    case ViewShowOutcome::State::kNoEntry:
      break;
  }
  return L"no-entry";
}

// The record word of the text report, as one token.
const wchar_t* ResultName(const MemberOutcome& outcome) {
  switch (outcome.kind) {
    case MemberOutcome::Kind::kShow:
      return ShowResultWord(outcome.show);
    case MemberOutcome::Kind::kKeptNewest:
      return L"kept-newest";
    case MemberOutcome::Kind::kKeptByKeepNewest:
      return L"kept-keepnewest";
    case MemberOutcome::Kind::kOtherUser:
      return L"other-user";
    case MemberOutcome::Kind::kHide:
      return outcome.hide.AnyFailed()   ? L"not-hidden"
             : outcome.hide.AnyHidden() ? L"hidden"
                                        : L"no-entry";
    case MemberOutcome::Kind::kRemoval:
      break;
  }
  switch (outcome.removal.state) {
    case RemovalOutcome::State::kRemoved:
      return L"removed";
    case RemovalOutcome::State::kRemovedFromCopy:
      return L"removed-from-copy";
    case RemovalOutcome::State::kBlocked:
      return L"blocked";
    case RemovalOutcome::State::kGone:
      return L"gone";
    case RemovalOutcome::State::kNotRemoved:
      break;
  }
  return L"not-removed";
}

void StringOrNull(JsonWriter& json, std::wstring_view key, const wchar_t* text) {
  json.Key(key);
  if (text != nullptr) {
    json.String(text);
  } else {
    json.Null();
  }
}

// Package text that may be empty: null then.
void TextOrNull(JsonWriter& json, std::wstring_view key, const std::wstring& text) {
  StringOrNull(json, key, text.empty() ? nullptr : text.c_str());
}

void NumberOrNull(JsonWriter& json, std::wstring_view key, bool present, long long number) {
  json.Key(key);
  if (present) {
    json.Number(number);
  } else {
    json.Null();
  }
}

void Identity(JsonWriter& json, const MemberIdentity& member) {
  json.Key(L"productCode");
  json.String(member.productCode);
  TextOrNull(json, L"version", member.versionString);
  TextOrNull(json, L"name", member.productName);
  StringOrNull(json, L"context", ContextWord(member.context));
  // Whose install another user's member is; null for every other member.
  TextOrNull(json, L"userSid", member.userSid);
  StringOrNull(json, L"userName", member.userName ? member.userName->c_str() : nullptr);
}

void Entries(JsonWriter& json, const ProductListing& product) {
  json.Key(L"entries");
  json.BeginObject();
  StringOrNull(json, L"view32", EntryWord(product.entry32));
  StringOrNull(json, L"view64", EntryWord(product.entry64));
  json.EndObject();
}

void ListedProduct(JsonWriter& json, const ProductListing& product) {
  json.BeginObject();
  Identity(json, product);
  Entries(json, product);
  json.EndObject();
}

void Families(JsonWriter& json, const InstalledFamilies& installed) {
  json.Key(L"families");
  json.BeginArray();
  for (const FamilyListing& family : installed.families) {
    json.BeginObject();
    json.Key(L"upgradeCode");
    json.String(family.upgradeCode);
    json.Key(L"noVisibleEntry");
    json.Bool(family.noVisibleEntry);
    json.Key(L"members");
    json.BeginArray();
    for (const ProductListing& member : family.members) {
      ListedProduct(json, member);
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.Key(L"withoutFamily");
  json.BeginArray();
  for (const ProductListing& product : installed.withoutFamily) {
    ListedProduct(json, product);
  }
  json.EndArray();
  json.Key(L"orphanedEntries");
  json.BeginArray();
  for (const InstallerEntry& entry : installed.orphanedEntries) {
    json.BeginObject();
    json.Key(L"productCode");
    json.String(entry.productCode);
    TextOrNull(json, L"version", entry.displayVersion);
    TextOrNull(json, L"name", entry.displayName);
    StringOrNull(json, L"view", entry.view64 ? L"64-bit" : L"32-bit");
    json.EndObject();
  }
  json.EndArray();
}

void ListedMember(JsonWriter& json, const MemberListing& member) {
  json.BeginObject();
  Identity(json, member);
  Entries(json, member);
  json.Key(L"plan");
  json.BeginObject();
  const bool left = member.context == MemberIdentity::Context::kOtherUser;
  StringOrNull(json, L"hide", left ? L"leave" : member.keptByHide ? L"keep" : L"hide");
  NumberOrNull(json, L"uninstallOrder", !left, member.removalPosition);
  StringOrNull(json, L"keepNewest", left ? L"leave" : member.keptByKeepNewest() ? L"keep" : L"remove");
  json.EndObject();
  json.EndObject();
}

void View(JsonWriter& json, std::wstring_view key, const ViewHideOutcome& view) {
  json.Key(key);
  json.BeginObject();
  StringOrNull(json, L"state", ViewStateName(view.state));
  NumberOrNull(json, L"error", view.state == ViewHideOutcome::State::kNotHidden, view.error);
  json.EndObject();
}

void View(JsonWriter& json, std::wstring_view key, const ViewShowOutcome& view) {
  json.Key(key);
  json.BeginObject();
  StringOrNull(json, L"state", ViewStateName(view.state));
  NumberOrNull(json, L"error", view.state == ViewShowOutcome::State::kNotShown, view.error);
  json.EndObject();
}

// Why a hidden entry stayed hidden; null when none did.
void KeptHidden(JsonWriter& json, const ShowOutcome& show) {
  json.Key(L"keptHidden");
  if (show.kept == ShowOutcome::Kept::kNo) {
    json.Null();
    return;
  }
  const bool cannotTell = show.kept == ShowOutcome::Kept::kCannotTell;
  json.BeginObject();
  StringOrNull(json, L"reason", cannotTell ? L"cannot-tell" : L"by-package");
  NumberOrNull(json, L"recordError", cannotTell, show.recordError);
  NumberOrNull(json, L"packageError", cannotTell, show.packageError);
  json.EndObject();
}

void ActedMember(JsonWriter& json, const MemberOutcome& outcome, const RunResult& result) {
  json.BeginObject();
  MemberIdentity identity;
  identity.productCode = outcome.productCode;
  identity.versionString = outcome.versionString;
  identity.userSid = outcome.userSid;
  identity.userName = outcome.userName;
  for (const MemberIdentity& member : result.members) {
    if (member.productCode == outcome.productCode) {
      identity = member;
    }
  }
  Identity(json, identity);
  StringOrNull(json, L"result", ResultName(outcome));
  const RemovalOutcome& removal = outcome.removal;
  json.Key(L"restartNeeded");
  json.Bool(removal.restartNeeded);
  json.Key(L"views");
  if (outcome.kind == MemberOutcome::Kind::kHide) {
    json.BeginObject();
    View(json, L"view32", outcome.hide.view32);
    View(json, L"view64", outcome.hide.view64);
    json.EndObject();
  } else if (outcome.kind == MemberOutcome::Kind::kShow) {
    json.BeginObject();
    View(json, L"view32", outcome.show.view32);
    View(json, L"view64", outcome.show.view64);
    json.EndObject();
  } else {
    json.Null();
  }
  NumberOrNull(json, L"installerError", removal.removalRan, removal.removalError);
  NumberOrNull(json, L"copyError", removal.copyRan, removal.copyError);
  TextOrNull(json, L"installerLog", removal.installerLog);
  if (outcome.kind == MemberOutcome::Kind::kShow) {
    KeptHidden(json, outcome.show);
  }
  json.EndObject();
}

void Count(JsonWriter& json, std::wstring_view key, std::size_t count) {
  json.Key(key);
  json.Number(static_cast<long long>(count));
}

void Summary(JsonWriter& json, ExtendedAction action, const RunSummary& summary) {
  json.BeginObject();
  Count(json, L"members", summary.members);
  Count(json, L"otherUser", summary.otherUser);
  if (action == ExtendedAction::kList) {
    Count(json, L"readShort", summary.readShort);
  } else if (action == ExtendedAction::kHideOld) {
    Count(json, L"hidden", summary.hidden);
    Count(json, L"kept", summary.kept);
    Count(json, L"noEntry", summary.noEntry);
    Count(json, L"failed", summary.failed);
  } else if (action == ExtendedAction::kFamilies) {
    Count(json, L"families", summary.families);
    Count(json, L"withoutFamily", summary.withoutFamily);
    Count(json, L"severalVisibleEntries", summary.severalVisibleEntries);
    Count(json, L"noVisibleEntry", summary.noVisibleEntry);
    Count(json, L"orphanedEntries", summary.orphanedEntries);
    Count(json, L"readShort", summary.readShort);
  } else if (action == ExtendedAction::kShow) {
    Count(json, L"shown", summary.shown);
    Count(json, L"alreadyVisible", summary.alreadyVisible);
    Count(json, L"keptHidden", summary.keptHidden);
    Count(json, L"noEntry", summary.noEntry);
    Count(json, L"failed", summary.failed);
  } else if (action == ExtendedAction::kUninstall) {
    Count(json, L"removed", summary.removed);
    Count(json, L"restartNeeded", summary.restartNeeded);
    Count(json, L"kept", summary.kept);
    Count(json, L"failed", summary.failed);
    Count(json, L"blocked", summary.blocked);
  }
  json.EndObject();
}

}  // namespace

std::wstring JsonDocument(const ExtendedOptions& options, const RunResult& result) {
  JsonWriter json;
  json.BeginObject();
  json.Key(L"schemaVersion");
  json.Number(kJsonSchemaVersion);
  json.Key(L"tool");
  json.BeginObject();
  json.Key(L"name");
  json.String(L"msitool");
  json.Key(L"version");
  json.String(kToolVersionText);
  json.EndObject();
  StringOrNull(json, L"action", ActionName(options.action));
  // /families names no upgrade code of its own.
  TextOrNull(json, L"upgradeCode", options.upgradeCode);
  json.Key(L"keepNewest");
  json.Bool(options.keepNewest);
  NumberOrNull(json, L"waitSeconds", options.waitSeconds.has_value(),
               options.waitSeconds.value_or(0));
  json.Key(L"exitCode");
  json.Number(result.exitCode);
  json.Key(L"error");
  if (result.error) {
    json.BeginObject();
    json.Key(L"code");
    json.Number(result.error->code);
    json.Key(L"message");
    json.String(result.error->message);
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key(L"readShort");
  json.BeginArray();
  for (const ShortEnumeration& enumeration : result.readShort) {
    json.BeginObject();
    TextOrNull(json, L"upgradeCode", enumeration.upgradeCode);
    json.Key(L"indexes");
    json.Number(static_cast<long long>(enumeration.indexes));
    json.EndObject();
  }
  json.EndArray();
  json.Key(L"members");
  json.BeginArray();
  for (const MemberListing& member : result.listing) {
    ListedMember(json, member);
  }
  for (const MemberOutcome& outcome : result.outcomes) {
    ActedMember(json, outcome, result);
  }
  json.EndArray();
  if (options.action == ExtendedAction::kFamilies) {
    Families(json, result.installed);
  }
  json.Key(L"summary");
  if (result.summary) {
    Summary(json, options.action, *result.summary);
  } else {
    json.Null();
  }
  json.EndObject();
  return json.text() + L"\n";
}
