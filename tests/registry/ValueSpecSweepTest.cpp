#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <optional>
#include <random>
#include <regex>
#include <string>

#include "registry/ValueSpec.h"
#include "registry/ValueSpecFormat.h"
#include "support/ProcessRunner.h"
#include "support/TestRegistry.h"

namespace {

// A spec's parts as the documented format gives them, found by a regular expression rather than
// by walking the text: ROOT, then key levels of one backslash and a name each, then two
// backslashes, then the rest.
struct Expected {
  std::wstring root;
  std::wstring keyPath;
  std::wstring name;
  std::optional<std::wstring> data;
};

std::wstring CutTrailingSpaces(std::wstring text) {
  while (!text.empty() && text.back() == L' ') {
    text.pop_back();
  }
  return text;
}

bool IsKnownRoot(std::wstring root) {
  for (wchar_t& c : root) {
    if (c >= L'a' && c <= L'z') {
      c = static_cast<wchar_t>(c - 32);
    }
  }
  return root == L"HKEY_CLASSES_ROOT" || root == L"HKEY_CURRENT_USER" ||
         root == L"HKEY_LOCAL_MACHINE" || root == L"HKEY_USERS";
}

std::optional<Expected> Model(const std::wstring& spec) {
  static const std::wregex kShape(LR"(^([^\\]*)((?:\\[^\\]+)*)\\\\([\s\S]*)$)");
  std::wsmatch match;
  if (!std::regex_match(spec, match, kShape) || !IsKnownRoot(match[1].str())) {
    return std::nullopt;
  }
  Expected expected;
  expected.root = match[1].str();
  expected.keyPath = match[2].length() > 0 ? match[2].str().substr(1) : L"";
  const std::wstring rest = match[3].str();
  const std::size_t bar = rest.find(L'|');
  if (bar == std::wstring::npos) {
    expected.name = CutTrailingSpaces(rest);
  } else {
    expected.name = rest.substr(0, bar);
    expected.data = CutTrailingSpaces(rest.substr(bar + 1));
  }
  return expected;
}

const std::wstring kPieces[] = {L"\\", L"\\\\", L"\\\\\\", L"|", L" ", L"  ", L"a", L"B", L"1",
                                L"-", L"7", L"x|", L"HKEY_CURRENT_USER", L"hkey_users", L"HKLM",
                                L"\t", L"\u00e9", L"+", L"99999999999"};

std::wstring RandomText(std::mt19937& random, int maxPieces) {
  std::uniform_int_distribution<int> count(0, maxPieces);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::wstring text;
  for (int i = count(random); i > 0; --i) {
    text += kPieces[piece(random)];
  }
  return text;
}

TEST(ValueSpecSweep, RandomTextSplitsAsTheFormatSays) {
  std::mt19937 random(8122026);
  const std::wstring roots[] = {L"HKEY_CURRENT_USER", L"hKeY_lOcAl_MaChInE", L"HKEY_USERS",
                                L"HKEY_CLASSES_ROOT", L"HKCU", L"HKEY_CURRENT_USERS", L""};
  for (int i = 0; i < 20000; ++i) {
    const std::wstring spec =
        (random() % 4 == 0 ? L"" : roots[random() % std::size(roots)]) + RandomText(random, 10);
    const std::optional<Expected> expected = Model(spec);
    const std::optional<ParsedValueSpec> parsed = ParseValueSpec(spec);
    const std::string shown = testing::PrintToString(spec);
    ASSERT_EQ(parsed.has_value(), expected.has_value()) << shown;
    if (!parsed) {
      continue;
    }
    ASSERT_EQ(parsed->keyPath, expected->keyPath) << shown;
    ASSERT_EQ(parsed->valueName, expected->name) << shown;
    ASSERT_EQ(parsed->data.has_value(), expected->data.has_value()) << shown;
    if (parsed->data) {
      ASSERT_EQ(*parsed->data, *expected->data) << shown;
    }
  }
}

TEST(ValueSpecSweep, RandomWritesUnderAScratchKeyDoWhatTheyName) {
  std::mt19937 random(31337);
  const ScratchKey scratch(HKEY_CURRENT_USER);
  const DWORD handlesBefore = ProcessHandleCount();
  for (int i = 0; i < 3000; ++i) {
    const std::wstring spec =
        L"HKEY_CURRENT_USER\\" + scratch.path() + L"\\" + RandomText(random, 8);
    const std::optional<Expected> expected = Model(spec);
    const std::string shown = testing::PrintToString(spec);
    const bool keyExisted =
        expected && KeyExists(HKEY_CURRENT_USER, expected->keyPath);
    const bool valueExisted =
        expected && ValueExists(HKEY_CURRENT_USER, expected->keyPath, expected->name.c_str());

    const ValueSpecResult result = SetValueSpec(spec, static_cast<unsigned>(random() % 4));

    if (!expected || !expected->data) {
      ASSERT_EQ(result, ValueSpecResult::kMalformed) << shown;
      if (expected) {
        ASSERT_EQ(KeyExists(HKEY_CURRENT_USER, expected->keyPath), keyExisted) << shown;
      }
      continue;
    }
    const std::wstring& path = expected->keyPath;
    const wchar_t* name = expected->name.c_str();
    if (expected->data->empty()) {
      ASSERT_EQ(result, valueExisted ? ValueSpecResult::kSuccess : ValueSpecResult::kRegistryRefused)
          << shown;
      ASSERT_FALSE(ValueExists(HKEY_CURRENT_USER, path, name)) << shown;
    } else if (result == ValueSpecResult::kSuccess) {
      const DWORD stored =
          static_cast<DWORD>(std::wcstol(expected->data->c_str(), nullptr, /*base=*/10));
      ASSERT_EQ(ReadDword(HKEY_CURRENT_USER, path, name), stored) << shown;
    } else {
      // Only a key the registry will not create (a level name too long, say) may fail.
      ASSERT_EQ(result, ValueSpecResult::kKeyNotOpened) << shown;
    }
  }
  EXPECT_EQ(ProcessHandleCount(), handlesBefore);
}

}  // namespace
