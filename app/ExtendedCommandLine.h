#pragma once

#include <optional>
#include <string>
#include <string_view>

// What an extended command line asks for.
enum class ExtendedAction { kNone, kList, kHideOld, kUninstall, kFamilies, kShow };

// The options of a valid extended command line.
struct ExtendedOptions {
  bool help = false;  // the usage, and nothing else: every other field keeps its default
  ExtendedAction action = ExtendedAction::kNone;
  bool report = false;
  bool keepNewest = false;
  bool json = false;
  std::wstring upgradeCode;                  // empty for /families
  std::wstring findText;                     // /find:TEXT with /families; empty without
  std::wstring logFile;                      // empty without /log:
  std::optional<unsigned long> waitSeconds;  // absent without /wait:
  std::wstring commandLine;                  // the arguments as one line, for the log's header
};

// The extended command line: /list, /hideoldaddremoves, /showaddremoves or /uninstall with
// /u:{GUID}, or
// /families with /find:TEXT or without; and /report, /keepnewest, /json, /log:FILE and
// /wait:SECONDS. It only reads lines the classic CommandLine
// calls invalid and that carry one of the new switches (see HasNewSwitch); every other line stays
// the classic one's.

// True when an argument after the program is /list, /families, /showaddremoves, /report,
// /keepnewest or /json (any
// case of A to Z), or starts with /log:, /wait: or /find: (any case).
bool HasNewSwitch(int argumentCount, const wchar_t* const* arguments);

// Reads the argument vector, the program in position 0: arguments in any order, each at most
// once, exactly one action, /keepnewest and /wait:SECONDS (0 to 86400) only with /uninstall,
// /log:FILE with a file, /u: followed by a GUID in braces with every action but /families, which
// takes none, and /find:TEXT with a text only with /families. A help switch on a line without
// unknown arguments asks for help. nullopt for any other line.
[[nodiscard]] std::optional<ExtendedOptions> ParseExtendedCommandLine(
    int argumentCount, const wchar_t* const* arguments);

// The argument vector, the program included, as one line; an argument with a space or a quote, or
// an empty one, in double quotes.
std::wstring JoinArguments(int argumentCount, const wchar_t* const* arguments);
