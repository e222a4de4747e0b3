#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "app/ExitCodes.h"
#include "support/FakeInstaller.h"
#include "support/ScratchKey.h"

namespace {

constexpr int kCases = 5000;

// What a command line should give, worked out from the documented switch rules alone.
struct Expected {
  bool valid = true;
  bool hideOld = false;
  bool uninstall = false;
  bool help = false;
  std::wstring upgradeCode;
};

std::wstring AsciiLower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') {
      c = static_cast<wchar_t>(c + 32);
    }
  }
  return text;
}

Expected Model(const std::vector<std::wstring>& arguments) {
  Expected expected;
  if (arguments.empty() || arguments.size() > 2) {
    expected.valid = false;
    return expected;
  }
  static const std::wstring kHelp[] = {L"-?", L"--?", L"/?", L"-h", L"--h",
                                       L"/h", L"-help", L"--help", L"/help"};
  for (const std::wstring& argument : arguments) {
    const std::wstring lower = AsciiLower(argument);
    if (lower == L"/hideoldaddremoves") {
      expected.hideOld = true;
    } else if (argument.find(L"/u:") != std::wstring::npos) {
      expected.upgradeCode = argument.substr(argument.rfind(L':') + 1);
    } else if (std::find(std::begin(kHelp), std::end(kHelp), lower) != std::end(kHelp)) {
      expected.help = true;
      return expected;
    } else if (lower == L"/uninstall") {
      expected.uninstall = true;
    } else {
      expected.valid = false;
      return expected;
    }
  }
  return expected;
}

// Pieces that command lines are made of: the switches in mixed case, near misses, colons, and
// characters that fold in Unicode but must not here (U+0130, U+017F, U+212A).
const std::wstring kPieces[] = {
    L"/hideoldaddremoves", L"/HideOldAddRemoves", L"/uninstall", L"/UNINSTALL", L"/u:", L"/U:",
    L":", L"::", L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35B}", L"/?", L"-h", L"--HELP", L"/h",
    L"-?", L"", L" ", L"\t", L"\x01", L"\x7f", L"\u00e9", L"\u0130", L"\u017f", L"\u212a",
    L"/", L"-", L"x", L"/hideoldaddremove", L"/uninstal", L"\"", L"\\"};

std::wstring RandomArgument(std::mt19937& random) {
  std::uniform_int_distribution<int> pieceCount(0, 3);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::wstring argument;
  for (int i = pieceCount(random); i > 0; --i) {
    argument += kPieces[piece(random)];
  }
  if (random() % 200 == 0) {
    argument += std::wstring(32767 - argument.size() % 32767, L'k');
  }
  return argument;
}

TEST(CommandLineSweep, RandomCommandLinesParseAndRunAsDocumented) {
  std::mt19937 random(20261208);
  const DWORD handlesBefore = ProcessHandleCount();
  for (int i = 0; i < kCases; ++i) {
    std::vector<std::wstring> arguments(random() % 5);
    for (std::wstring& argument : arguments) {
      argument = RandomArgument(random);
    }
    std::vector<const wchar_t*> argv = {L"msitool.exe"};
    for (const std::wstring& argument : arguments) {
      argv.push_back(argument.c_str());
    }
    CommandLine commandLine;
    commandLine.Parse(static_cast<int>(argv.size()), argv.data());
    const Expected expected = Model(arguments);
    const std::string shown = testing::PrintToString(arguments);
    ASSERT_EQ(commandLine.IsValid(), expected.valid) << shown;
    ASSERT_EQ(commandLine.help(), expected.help) << shown;
    if (expected.valid) {
      ASSERT_EQ(commandLine.hideOld(), expected.hideOld) << shown;
      ASSERT_EQ(commandLine.uninstall(), expected.uninstall) << shown;
      ASSERT_EQ(commandLine.upgradeCode(), expected.upgradeCode) << shown;
    }

    FakeInstaller installer;
    const int exitCode = commandLine.Run(installer);
    ASSERT_EQ(exitCode, expected.valid ? kExitSuccess : kExitBadArguments) << shown;
    const bool asksInstaller = expected.valid && !expected.help && !expected.upgradeCode.empty();
    ASSERT_EQ(installer.calls.empty(), !asksInstaller) << shown;
    ASSERT_EQ(installer.CallCount(L"SetInternalUI"), 0) << "no family member was enumerated";
  }
  EXPECT_EQ(ProcessHandleCount(), handlesBefore);
}

}  // namespace
