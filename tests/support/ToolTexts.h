#pragma once

#include <cwchar>
#include <string>

#include "app/ToolVersion.h"

// The texts that the tool writes, as the bytes that reach a redirected stream (UTF-8, plain line
// feeds), written out here line by line and not taken from the tool's own sources; only the
// banner's flavour, which names the architecture of the build under test, is the generated
// header's (PrintBanner's test checks it against the compiler's target).

inline const std::string kBanner =
    "\nQuorvin Msi Tool v12.0.111 " +
    std::string(kToolBuildFlavour, kToolBuildFlavour + std::wcslen(kToolBuildFlavour)) + "\n";

// The usage text, with the executable's file name where the tool formats it in.
inline std::string UsageText(const std::string& fileName) {
  const std::string lines[] = {
      "",
      "Usage: " + fileName + " [/?] [/hideoldaddremoves] [/u:UPGRADECODE]",
      "",
      " /?                  : Prints this usage info",
      "",
      " /hideoldaddremoves  : Hides add/remove programs for all the old products",
      "                       that have same UPGRADE code. Versions that are older",
      "                       than the newest installed are hidden.",
      "                       /u:UPGRADECODE is required for this switch.",
      "",
      " /uninstall          : Uninstalls all products with same UPGRADE code.",
      "                       If the msi uninstallation fails it tries to",
      "                       uninstall it by copying the cached msi file to",
      "                       temp and using it for MsiInstallProduct with",
      "                       REMOVE=ALL REBOOT=ReallySuppress.",
      "                       /u:UPGRADECODE is required for this switch.",
      "",
      " [/u:UPGRADECODE]    : msi UpgradeCode.",
      "                       E.g. /u:{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35B}",
  };
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

inline const std::string kPrivilegeError =
    "Initialization Error: Insufficient privileges.\n"
    "This tool needs to be run with administrative rights.\n"
    "Please log in as an administrator or use the 'Run as...'\n"
    "functionality to run the tool with administrative rights.\n";
