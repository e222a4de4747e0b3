#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ExitCodes.h"
#include "support/CommandLines.h"
#include "support/FakeInstaller.h"
#include "support/ProcessRunner.h"

namespace {

constexpr int kCases = 5000;

// Pieces that command lines are made of: the switches in mixed case, near misses and colons.
const std::wstring kPieces[] = {
    L"/hideoldaddremoves", L"/HideOldAddRemoves", L"/uninstall", L"/UNINSTALL", L"/u:", L"/U:", L":", L"::",
    L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35B}", L"/?", L"-h", L"--HELP", L"/h", L"-?", L"", L" ", L"/", L"-", L"x",
    L"/hideoldaddremove", L"/uninstal", L"\"", L"\\"};

std::wstring RandomArgument(std::mt19937& random) {
  std::uniform_int_distribution<int> pieceCount(0, 3);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::wstring argument;
  for (int i = pieceCount(random); i > 0; --i) argument += kPieces[piece(random)];
  return argument;
}

// Whether some argument names a non-empty upgrade code: /u: somewhere, and text after its last colon.
bool NamesAnUpgradeCode(const std::vector<std::wstring>& arguments) {
  for (const std::wstring& argument : arguments) {
    if (argument.find(L"/u:") != std::wstring::npos && argument.back() != L':') return true;
  }
  return false;
}

// What holds for every command line, whatever the parser makes of it. The Wine user is an enabled
// administrator, so the gate passes and only 0 and 160 can come back.
TEST(CommandLineSweep, RandomCommandLinesKeepTheRunRules) {
  std::mt19937 random(20261208);
  const DWORD handlesBefore = ProcessHandleCount();
  for (int i = 0; i < kCases; ++i) {
    std::vector<std::wstring> arguments(random() % 5);
    for (std::wstring& argument : arguments) argument = RandomArgument(random);
    const std::string shown = testing::PrintToString(arguments);
    const CommandLine commandLine = ParseArguments(arguments);
    if (commandLine.IsValid()) {
      ASSERT_TRUE(arguments.size() == 1 || arguments.size() == 2) << shown;
    }

    FakeInstaller installer;
    const int exitCode = commandLine.Run(installer);
    ASSERT_EQ(exitCode, commandLine.IsValid() ? kExitSuccess : kExitBadArguments) << shown;
    if (!commandLine.IsValid() || !NamesAnUpgradeCode(arguments)) {
      ASSERT_TRUE(installer.calls.empty()) << shown;
    }
  }
  EXPECT_EQ(ProcessHandleCount(), handlesBefore);
}

}  // namespace
