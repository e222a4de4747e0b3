#include "app/CommandLine.h"

#include <optional>
#include <string_view>

#include "app/ExitCodes.h"
#include "app/HelpSwitches.h"
#include "app/RunGates.h"
#include "common/AsciiCase.h"
#include "installer/Installer.h"
#include "products/ActionStage.h"

namespace {

constexpr int kFewestArguments = 2;
constexpr int kMostArguments = 3;

constexpr std::wstring_view kHideSwitch = L"/hideoldaddremoves";
constexpr std::wstring_view kUninstallSwitch = L"/uninstall";
constexpr std::wstring_view kUpgradeCodeMarker = L"/u:";

}  // namespace

void CommandLine::Parse(int argumentCount, const wchar_t* const* arguments) {
  argumentCount_ = argumentCount;
  valid_ = true;
  hideOld_ = false;
  uninstall_ = false;
  help_ = false;
  if (argumentCount > 0) {
    programPath_ = arguments[0];
  }
  if (argumentCount < kFewestArguments || argumentCount > kMostArguments) {
    valid_ = false;
    return;
  }
  for (int i = 1; i < argumentCount; ++i) {
    const std::wstring_view argument = arguments[i];
    if (EqualsIgnoringAsciiCase(argument, kHideSwitch)) {
      hideOld_ = true;
    } else if (argument.find(kUpgradeCodeMarker) != std::wstring_view::npos) {
      upgradeCode_ = argument.substr(argument.rfind(L':') + 1);
    } else if (IsHelpSwitch(argument)) {
      help_ = true;
      return;
    } else if (EqualsIgnoringAsciiCase(argument, kUninstallSwitch)) {
      uninstall_ = true;
    } else {
      valid_ = false;
      return;
    }
  }
}

int CommandLine::Run(installer::Installer& installer) const {
  if (const std::optional<int> gateExitCode = GateExitCode(IsValid(), help_)) {
    return *gateExitCode;
  }
  if (upgradeCode_.empty()) {
    return kExitSuccess;
  }
  // /hideoldaddremoves wins when both actions are given.
  const FamilyAction action = hideOld_     ? FamilyAction::kHideOld
                              : uninstall_ ? FamilyAction::kUninstall
                                           : FamilyAction::kNone;
  // A family read short is an obvious fault, not a success: the one change to the classic line.
  return RunActionStage(installer, upgradeCode_, action) ? kExitSuccess : kExitInstallFailure;
}
