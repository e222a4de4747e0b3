#include "registry/ValueSpec.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "registry/ValueSpecFormat.h"
#include "support/ProcessRunner.h"
#include "support/TestRegistry.h"

namespace {

struct FormatCase {
  const char* name;
  std::wstring spec;
  HKEY root;
  std::wstring keyPath;
  std::wstring valueName;
  std::optional<std::wstring> data;
};

// The roots; how the rest splits is ValueSpecSweepTest's, against a regular expression of the format.
const FormatCase kFormatCases[] = {
    {"KeyNameAndData", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\\\Name|1", HKEY_LOCAL_MACHINE, L"SOFTWARE\\X", L"Name", L"1"},
    {"RootInLowerCase", L"hkey_local_machine\\SOFTWARE\\X\\\\Name|1", HKEY_LOCAL_MACHINE, L"SOFTWARE\\X", L"Name", L"1"},
    {"EveryRoot", L"HKEY_USERS\\.DEFAULT\\\\N", HKEY_USERS, L".DEFAULT", L"N", std::nullopt},
    {"ClassesRoot", L"Hkey_Classes_Root\\.txt\\\\N|", HKEY_CLASSES_ROOT, L".txt", L"N", L""},
    {"ValueUnderTheRoot", L"HKEY_CURRENT_USER\\\\Name|5", HKEY_CURRENT_USER, L"", L"Name", L"5"},
};

class ValueSpecFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(ValueSpecFormat, SplitsRootKeyPathNameAndData) {
  const FormatCase& testCase = GetParam();
  const std::optional<ParsedValueSpec> parsed = ParseValueSpec(testCase.spec);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->rootKey, testCase.root);
  EXPECT_EQ(parsed->keyPath, testCase.keyPath);
  EXPECT_EQ(parsed->valueName, testCase.valueName);
  EXPECT_EQ(parsed->data, testCase.data);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValueSpecFormat, testing::ValuesIn(kFormatCases),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                           return std::string(info.param.name);
                         });

class ValueSpecWrite : public testing::Test {
 protected:
  std::wstring Sub(const wchar_t* rest) const { return scratch_.path() + rest; }

  ScratchKey scratch_{HKEY_CURRENT_USER};
};

// Each malformed below the scratch key, where a wrong reading would create "\Fresh...".
TEST_F(ValueSpecWrite, MalformedSpecsAreRefusedAndTouchNothing) {
  const std::wstring specs[] = {
      scratch_.Spec(L"\\Fresh\\Name|1"), L"HKCU\\" + scratch_.path() + L"\\Fresh\\\\Name|1",
      L"HKEY_CURRENT_CONFIG\\\\Name|1", L"HKEY_CURRENT_USER \\A\\\\Name|1", L"HKEY_USER\\A\\\\Name|1",
      L"HKEY_PERFORMANCE_DATA\\\\Name|1", L"\\\\Name|1", L"HKEY_CURRENT_USER", L"",
      scratch_.Spec(L"\\Fresh\\\\Name")};  // valid, but without data there is nothing to write
  for (const std::wstring& spec : specs) {
    EXPECT_EQ(ParseValueSpec(spec).has_value(), &spec == &specs[std::size(specs) - 1])
        << testing::PrintToString(spec);
    EXPECT_EQ(SetValueSpec(spec, 0), ValueSpecResult::kMalformed) << testing::PrintToString(spec);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub(L"\\Fresh")));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub(L"\\Fresh\\Name|1")));
}

// Steps run in order on one scratch key; after each, the named value holds the DWORD, or is gone.
TEST_F(ValueSpecWrite, WritesDwordsByStringToLongRulesAndEmptyDataDeletes) {
  ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, scratch_.path(), L"", L"text"));
  const struct {
    const wchar_t* spec;  // after the scratch key
    ValueSpecResult result;
    const wchar_t* key;   // after the scratch key
    const wchar_t* name;
    std::optional<DWORD> stored;
  } steps[] = {
      {L"\\New\\Deep\\\\Name|1", ValueSpecResult::kSuccess, L"\\New\\Deep", L"Name", 1},
      {L"\\\\|3", ValueSpecResult::kSuccess, L"", L"", 3},  // the default value
      {L"\\\\Number|abc", ValueSpecResult::kSuccess, L"", L"Number", 0},
      {L"\\\\Number|-1", ValueSpecResult::kSuccess, L"", L"Number", 0xFFFFFFFF},
      {L"\\\\Number|2147483647", ValueSpecResult::kSuccess, L"", L"Number", 0x7FFFFFFF},
      {L"\\\\Number|4294967295", ValueSpecResult::kSuccess, L"", L"Number", 0x7FFFFFFF},
      {L"\\\\Number|-2147483648", ValueSpecResult::kSuccess, L"", L"Number", 0x80000000},
      {L"\\\\Number|-99999999999", ValueSpecResult::kSuccess, L"", L"Number", 0x80000000},
      {L"\\\\Number|  42", ValueSpecResult::kSuccess, L"", L"Number", 42},
      {L"\\\\Number|+7x", ValueSpecResult::kSuccess, L"", L"Number", 7},
      {L"\\\\Number|1   ", ValueSpecResult::kSuccess, L"", L"Number", 1},
      {L"\\\\Number|0x10", ValueSpecResult::kSuccess, L"", L"Number", 0},
      {L"\\\\Number|", ValueSpecResult::kSuccess, L"", L"Number", std::nullopt},
      {L"\\\\Number|", ValueSpecResult::kRegistryRefused, L"", L"Number", std::nullopt},
      {L"\\\\Number|5", ValueSpecResult::kSuccess, L"", L"Number", 5},
      {L"\\\\Number|   ", ValueSpecResult::kSuccess, L"", L"Number", std::nullopt},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(SetValueSpec(scratch_.Spec(step.spec), 0), step.result) << testing::PrintToString(step.spec);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, Sub(step.key), step.name), step.stored)
        << testing::PrintToString(step.spec);
    EXPECT_EQ(ValueExists(HKEY_CURRENT_USER, Sub(step.key), step.name), step.stored.has_value());
  }
  const std::wstring spec = L"hkey_current_user\\" + scratch_.path() + L"\\\\Name|7";
  EXPECT_EQ(SetValueSpec(spec, 0), ValueSpecResult::kSuccess);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, scratch_.path(), L"Name"), 7u);
}

TEST(ValueSpecRoot, WritesDirectlyUnderTheRootWhateverTheView) {
  const wchar_t* name = L"msitool-tests-root-value";
  for (unsigned flags : {0u, kViewFlag32, kViewFlag64, kViewFlag32 | kViewFlag64}) {
    EXPECT_EQ(SetValueSpec(L"HKEY_CURRENT_USER\\\\msitool-tests-root-value|5", flags),
              ValueSpecResult::kSuccess);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"", name), 5u);
    EXPECT_EQ(SetValueSpec(L"HKEY_CURRENT_USER\\\\msitool-tests-root-value|", flags),
              ValueSpecResult::kSuccess);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, L"", name));
  }
}

TEST(ValueSpecOpen, RootSpecBorrowsThePredefinedKey) {
  OpenedValueSpec opened;
  ASSERT_EQ(OpenValueSpec(L"HKEY_CURRENT_USER\\\\Name|5", false, KEY_WOW64_64KEY, opened),
            ValueSpecResult::kSuccess);
  EXPECT_TRUE(opened.key.isRootKey());
  EXPECT_EQ(opened.key.get(), HKEY_CURRENT_USER);
  EXPECT_EQ(opened.valueName, L"Name");
  EXPECT_EQ(opened.data, std::optional<std::wstring>(L"5"));
}

TEST(ValueSpecOpen, FailureLeavesTheOutputsUntouched) {
  OpenedValueSpec opened;
  opened.valueName = L"before";
  EXPECT_EQ(OpenValueSpec(L"HKEY_CURRENT_USER\\Software\\msitool-tests\\absent\\\\Name|1", false,
                          0, opened),
            ValueSpecResult::kKeyNotOpened);
  EXPECT_EQ(OpenValueSpec(L"HKEY_CURRENT_USER\\no-pair|1", false, 0, opened),
            ValueSpecResult::kMalformed);
  EXPECT_EQ(opened.valueName, L"before");
  EXPECT_EQ(opened.key.get(), nullptr);
}

TEST_F(ValueSpecWrite, OpenForReadingGivesAnOwnedKeyAndTheDataOnlyWithABar) {
  OpenedValueSpec opened;
  ASSERT_EQ(OpenValueSpec(scratch_.Spec(L"\\\\Name"), false, 0, opened),
            ValueSpecResult::kSuccess);
  EXPECT_FALSE(opened.key.isRootKey());
  EXPECT_NE(opened.key.get(), nullptr);
  EXPECT_FALSE(opened.data.has_value());
  EXPECT_EQ(OpenValueSpec(scratch_.Spec(L"\\\\Name|"), false, 0, opened),
            ValueSpecResult::kSuccess);
  EXPECT_EQ(opened.data, std::optional<std::wstring>(L""));
}

// Real HKLM of the throwaway prefix keeps the 32-bit and 64-bit views apart.
class ValueSpecViews : public testing::Test {
 protected:
  ~ValueSpecViews() override {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, path_, View::k32);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, path_, View::k64);
  }
  std::wstring Spec(const wchar_t* rest) const { return L"HKEY_LOCAL_MACHINE\\" + path_ + rest; }

  const std::wstring path_ =
      L"Software\\msitool-tests-views-" + std::to_wstring(GetCurrentProcessId());
};

TEST_F(ValueSpecViews, FlagsPickTheView) {
  const struct {
    unsigned flags;
    bool in32;
    bool in64;
  } cases[] = {{kViewFlag32, true, false}, {kViewFlag64, false, true},
               {kViewFlag32 | kViewFlag64, false, true}};
  for (const auto& testCase : cases) {
    ASSERT_EQ(SetValueSpec(Spec(L"\\\\Viewed|1"), testCase.flags), ValueSpecResult::kSuccess);
    EXPECT_EQ(ValueExists(HKEY_LOCAL_MACHINE, path_, L"Viewed", View::k32), testCase.in32)
        << "flags " << testCase.flags;
    EXPECT_EQ(ValueExists(HKEY_LOCAL_MACHINE, path_, L"Viewed", View::k64), testCase.in64)
        << "flags " << testCase.flags;
    DeleteKeyTree(HKEY_LOCAL_MACHINE, path_, View::k32);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, path_, View::k64);
  }
}

TEST_F(ValueSpecViews, OpeningHonoursTheViewAccess) {
  ASSERT_EQ(SetValueSpec(Spec(L"\\\\Viewed|1"), kViewFlag64), ValueSpecResult::kSuccess);
  OpenedValueSpec opened;
  EXPECT_EQ(OpenValueSpec(Spec(L"\\\\Viewed"), false, KEY_WOW64_32KEY, opened),
            ValueSpecResult::kKeyNotOpened);
  EXPECT_EQ(OpenValueSpec(Spec(L"\\\\Viewed"), false, KEY_WOW64_64KEY, opened),
            ValueSpecResult::kSuccess);
}

TEST_F(ValueSpecWrite, LeavesNoHandleOpenOnAnyPath) {
  const std::wstring specs[] = {
      scratch_.Spec(L"\\Leak\\\\Name|1"), scratch_.Spec(L"\\Leak\\\\Name|"),
      scratch_.Spec(L"\\Leak\\\\Name"),   scratch_.Spec(L"\\Leak\\Name|1"),
      L"HKEY_CURRENT_USER\\\\msitool-tests-leak|",
      L"HKEY_NOWHERE\\X\\\\Name|1",        L"HKEY_CURRENT_USER\\Software\\msitool-absent\\\\N",
  };
  const DWORD before = ProcessHandleCount();
  for (int round = 0; round < 300; ++round) {
    for (const std::wstring& spec : specs) {
      static_cast<void>(SetValueSpec(spec, round % 4));
      OpenedValueSpec opened;
      static_cast<void>(OpenValueSpec(spec, /*create=*/false, 0, opened));
    }
  }
  EXPECT_EQ(ProcessHandleCount(), before);
}

}  // namespace
