#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace installer {
class Installer;
}

class ReportWriter;
class RunLog;

// What an extended command line asks for.
enum class ExtendedAction { kNone, kList, kHideOld, kUninstall };

// The extended command line: /list, /hideoldaddremoves or /uninstall with /u:{GUID}, and /report
// and /keepnewest. It only reads lines the classic CommandLine calls invalid and that carry one of
// the new switches (see HasNewSwitch); every other line stays the classic one's.
class ExtendedCommandLine {
 public:
  ExtendedCommandLine() = default;
  virtual ~ExtendedCommandLine() = default;

  // True when an argument after the program is /list, /report or /keepnewest (any case of A to
  // Z), or starts with /log: or /wait: (any case).
  static bool HasNewSwitch(int argumentCount, const wchar_t* const* arguments);

  // Reads the argument vector, the program in position 0: arguments in any order, each at most
  // once, exactly one action, /keepnewest and /wait:SECONDS (0 to 86400) only with /uninstall,
  // /log:FILE with a file, and /u: followed by a GUID in braces. A help switch on a line without
  // unknown arguments asks for help. Anything else makes the line invalid.
  void Parse(int argumentCount, const wchar_t* const* arguments);

  virtual bool IsValid() const { return valid_; }

  // The run sequence: validity (160), help (0), the Administrators gate (5), the log file (110
  // when it cannot be opened, with one line on the standard error), then the action, whose result
  // is the exit code: 0, 3010, 1618 or 1603 (see ResultExitCode). Report lines go to report: to the
  // console for /list and with /report, and to the log file with /log:.
  int Run(installer::Installer& installer, ReportWriter& report) const;

  ExtendedAction action() const { return action_; }
  bool report() const { return report_; }
  bool keepNewest() const { return keepNewest_; }
  bool help() const { return help_; }
  const std::wstring& upgradeCode() const { return upgradeCode_; }
  const std::wstring& logFile() const { return logFile_; }
  const std::optional<unsigned long>& waitSeconds() const { return waitSeconds_; }

 private:
  int RunAction(installer::Installer& installer, ReportWriter& report, RunLog& log) const;

  ExtendedAction action_ = ExtendedAction::kNone;
  bool report_ = false;
  bool keepNewest_ = false;
  bool help_ = false;
  std::wstring upgradeCode_;
  std::wstring logFile_;                      // empty without /log:
  std::optional<unsigned long> waitSeconds_;  // absent without /wait:
  std::wstring commandLine_;                  // for the log's header
  unsigned long startTick_ = 0;               // the /wait: deadline counts from here
  bool valid_ = false;
};

// True for a GUID in braces: 38 characters, {8-4-4-4-12} hex digits of either case.
bool IsBracedGuid(std::wstring_view text) noexcept;
