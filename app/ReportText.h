#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "products/InstalledFamilies.h"
#include "products/MemberListing.h"
#include "products/MemberOutcome.h"

struct RunSummary;

// The texts of the extended command line's report: one record per line, the product code and the
// version first, then stable lower-case words, so that findstr finds them. Text from a package
// (a version, a name) is written through EscapeForRecord, so it can never start a line of its own
// or shift the fields after it.

// text with every character that could end or split a record written as \uXXXX (four upper-case
// hex digits): control characters (C0, DEL, C1), the line and paragraph separators and unpaired
// surrogates; with oneToken also every kind of space, so that the text stays one field. The
// backslash too, as \u005C, so that every escaped text reads back as exactly one text.
std::wstring EscapeForRecord(std::wstring_view text, bool oneToken);

// The command line for the log's header, as EscapeForRecord writes it but with its backslashes
// as they are: its paths are full of them, and it is the caller's text, not a package's.
std::wstring EscapeCommandLine(std::wstring_view commandLine);

// "visible", "hidden" or "none": where an uninstall entry stands, as /list says it.
const wchar_t* EntryWord(EntryState state);

// "per-machine", "per-user" (the running user's) or "other-user"; nullptr when no user has it
// installed.
const wchar_t* ContextWord(MemberIdentity::Context context);

// "{CODE} 1.0.0 hidden 32-bit 64-bit", "... kept newest", "... removed restart-needed", "... gone",
// "... shown 32-bit", "... kept-hidden by-package", "... not-shown 64-bit error=5",
// "... other-user sid=S-1-5-21-1-2-3-1001 user=LAB\u005Cana" (user= only when the SID resolves)
std::wstring OutcomeLine(const MemberOutcome& outcome);

// What showing came to for a member, as one word: "shown", "already-visible", "kept-hidden",
// "no-entry" or "not-shown"; the record's third field and the JSON document's result.
const wchar_t* ShowResultWord(const ShowOutcome& show);

// "summary: 3 members, 1 shown, 1 already-visible, 1 kept-hidden, 0 no-entry, 0 failed; exit code 0"
std::wstring ShowSummaryLine(const RunSummary& summary, int exitCode);

// "summary: 3 members, 2 hidden, 1 kept, 0 no-entry, 0 failed; exit code 0" for hiding, and
// "summary: 3 members, 2 removed, 1 restart-needed, 1 kept, 0 failed; exit code 3010" for removal.
// Every summary ends its counts with ", 1 other-user" when another user's members were left.
std::wstring HideSummaryLine(const RunSummary& summary, int exitCode);
std::wstring RemovalSummaryLine(const RunSummary& summary, int exitCode);

// "{CODE} 1.0.0 per-machine 32-bit=visible 64-bit=none hide=hide uninstall=3 keepnewest=remove
// name=Quorvin Sample": the name last, since it may hold spaces. Another user's member:
// "{CODE} 2.0.0 other-user sid=S-... user=... 32-bit=... 64-bit=... hide=leave uninstall=leave
// keepnewest=leave name=...".
std::wstring ListingLine(const MemberListing& member);

// "{UPGRADECODE} family members=2 visible-entries=2": a family's record, before its members'; a
// family that shows no entry though one could ends in " no-visible-entry".
std::wstring FamilyLine(const FamilyListing& family);

// "{CODE} 3.0.0 per-machine 32-bit=visible 64-bit=none name=Quorvin Sample": a family's member.
std::wstring FamilyMemberLine(const ProductListing& product);

// "{CODE} 1.0.0 without-family per-machine 32-bit=visible 64-bit=none name=Quorvin Tool": a
// product that no family holds.
std::wstring WithoutFamilyLine(const ProductListing& product);

// "summary: 2 families, 5 members, 1 without-family, 1 several-visible-entries; exit code 0", with
// ", 1 no-visible-entry", ", 1 other-user", ", 1 orphaned-entry" and ", 1 read-short" (an
// enumeration not read to the end) after the last count when there are.
std::wstring FamiliesSummaryLine(const RunSummary& summary, int exitCode);

// "{CODE} 1.0.0 orphaned-entry 64-bit name=Quorvin Sample": an uninstall entry that claims the
// installer for a product no user has installed.
std::wstring OrphanedEntryLine(const InstallerEntry& entry);

// "{UPGRADECODE} no-members"
std::wstring NoMembersLine(std::wstring_view upgradeCode);

// "{UPGRADECODE} no-visible-entry": /list's last record for a family that shows no entry though
// one could.
std::wstring NoVisibleEntryLine(std::wstring_view upgradeCode);


// "{UPGRADECODE} read-short indexes=1116": the installer had not said "no more" when the
// enumeration of the family reached its bound; "products read-short indexes=N" for the list of
// every installed product (an empty upgradeCode).
std::wstring ReadShortLine(std::wstring_view upgradeCode, unsigned long indexes);

// "summary: read-short, nothing changed; exit code 1603": an action's summary over a family read
// short.
std::wstring ReadShortSummaryLine(int exitCode);

// The run's error over a family read short, for the standard error and the JSON document.
std::wstring ReadShortMessage(std::wstring_view upgradeCode, unsigned long indexes);

// The log's records of what an installer enumeration skipped, for the family of upgradeCode, or
// of every installed product when it is empty:
// "skipped index 3 of the installer's list of {UPGRADECODE}'s members: error 234, More data is
// available", "... answered success with "TEXT", no new product code" (TEXT escaped) and
// "read short the installer's list of every installed product: no end within 40 indexes".
std::wstring SkippedEntryRecord(std::wstring_view upgradeCode, const SkippedEntry& entry);
std::wstring ReadShortRecord(std::wstring_view upgradeCode, const EnumerationGaps& gaps);
