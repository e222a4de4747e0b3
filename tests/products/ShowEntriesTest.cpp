#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/Utf8.h"
#include "installer/Installer.h"
#include "installer/InstallerCodes.h"
#include "products/InstalledFamilies.h"
#include "products/Product.h"
#include "products/ProductFamily.h"
#include "registry/PackedGuid.h"
#include "support/FakeInstaller.h"
#include "support/TemporaryFiles.h"
#include "support/TestRegistry.h"

// Showing a member's entry again: which views it touches, and when the product's own wish to be
// hidden keeps it hidden. The entries and the installer's record are real registry keys; the cached
// package is the fake installer's.
namespace {

using State = ViewShowOutcome::State;
using Kept = ShowOutcome::Kept;

enum class Entry { kNoKey, kNoDisplayName, kVisible, kHidden, kLocked };  // locked: hidden, no value may be set
enum class Record { kNone, kHides, kDoesNotHide };
enum class Package { kUnreadable, kAsks, kAsksAtLength, kPlain };  // at length: a value longer than a flag

struct ShowCase {
  const char* name;
  Entry entry32, entry64;
  Record record;
  Package package;
  State state32, state64;
  Kept kept = Kept::kNo;
};

void PrintTo(const ShowCase& test, std::ostream* stream) { *stream << test.name; }

const ShowCase kShowCases[] = {
    {"HiddenByTheToolIn32", Entry::kHidden, Entry::kNoKey, Record::kDoesNotHide, Package::kPlain, State::kShown, State::kNoEntry},
    {"HiddenByTheToolIn64", Entry::kNoKey, Entry::kHidden, Record::kDoesNotHide, Package::kPlain, State::kNoEntry, State::kShown},
    {"HiddenInBothViews", Entry::kHidden, Entry::kHidden, Record::kDoesNotHide, Package::kPlain, State::kShown, State::kShown},
    {"VisibleViewIsLeftAsItIs", Entry::kVisible, Entry::kHidden, Record::kDoesNotHide, Package::kPlain, State::kVisible, State::kShown},
    {"TheInstallersRecordAsks", Entry::kHidden, Entry::kHidden, Record::kHides, Package::kPlain, State::kKeptHidden, State::kKeptHidden, Kept::kByPackage},
    {"ThePackageAsks", Entry::kHidden, Entry::kNoKey, Record::kDoesNotHide, Package::kAsks, State::kKeptHidden, State::kNoEntry, Kept::kByPackage},
    {"ThePackageAsksWithALongValue", Entry::kHidden, Entry::kNoKey, Record::kDoesNotHide, Package::kAsksAtLength, State::kKeptHidden, State::kNoEntry, Kept::kByPackage},
    {"ThePackageAsksWithoutARecord", Entry::kNoKey, Entry::kHidden, Record::kNone, Package::kAsks, State::kNoEntry, State::kKeptHidden, Kept::kByPackage},
    {"TheRecordAloneSaysNo", Entry::kHidden, Entry::kNoKey, Record::kDoesNotHide, Package::kUnreadable, State::kShown, State::kNoEntry},
    {"ThePackageAloneSaysNo", Entry::kHidden, Entry::kNoKey, Record::kNone, Package::kPlain, State::kShown, State::kNoEntry},
    {"NeitherCanBeReadSoItStaysHidden", Entry::kHidden, Entry::kNoKey, Record::kNone, Package::kUnreadable, State::kKeptHidden, State::kNoEntry, Kept::kCannotTell},
    {"KeyWithoutDisplayNameIsNoEntry", Entry::kNoDisplayName, Entry::kNoKey, Record::kDoesNotHide, Package::kPlain, State::kNoEntry, State::kNoEntry},
    {"ViewThatRefusesTheDeleteIsNotShownAndTheOtherIs", Entry::kLocked, Entry::kHidden, Record::kDoesNotHide, Package::kPlain, State::kNotShown, State::kShown},
};

const std::wstring kRecords = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";

bool WriteDword(const std::wstring& path, View view, const wchar_t* name, DWORD data) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | static_cast<REGSAM>(view),
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written =
      RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return written;
}

class ShowEntries : public testing::TestWithParam<ShowCase> {
 protected:
  void TearDown() override { DeleteKeyTree(HKEY_LOCAL_MACHINE, kRecords + *PackGuid(code_), View::k64); }

  const std::wstring code_ = NewProductCode();
};

TEST_P(ShowEntries, DeletesSystemComponentWhereTheToolHidAnEntryAndNowhereElse) {
  const ShowCase& test = GetParam();
  UninstallEntries entries;
  for (const auto& [entry, view] : {std::pair{test.entry32, View::k32}, std::pair{test.entry64, View::k64}}) {
    if (entry == Entry::kNoKey) continue;
    ASSERT_TRUE(entries.Add(code_, view, entry == Entry::kNoDisplayName ? nullptr : L"Own entry"));
    if (entry != Entry::kVisible) {
      ASSERT_TRUE(WriteDword(UninstallPath(code_), view, L"SystemComponent", 1));
    }
    // Everyone may do all else with the key, nobody may set (0x2) its values: a delete included.
    if (entry == Entry::kLocked) {
      ASSERT_TRUE(SetKeyAccess(HKEY_LOCAL_MACHINE, UninstallPath(code_), view, L"D:(D;;0x2;;;WD)(A;;GA;;;WD)"));
    }
  }
  const std::wstring record = kRecords + *PackGuid(code_) + L"\\InstallProperties";
  if (test.record != Record::kNone) {
    ASSERT_TRUE(WriteDword(record, View::k64, test.record == Record::kHides ? L"SystemComponent" : L"Version", 1));
  }
  FakeProduct product{code_, L"1.0"};
  product.localPackage = L"C:\\Windows\\Installer\\cached.msi";
  FakeInstaller installer({product});
  if (test.package != Package::kUnreadable) {
    installer.packages[*product.localPackage] = {{L"ProductName", L"Own"}};
    if (test.package == Package::kAsks) installer.packages[*product.localPackage][L"ARPSYSTEMCOMPONENT"] = L"1";
    if (test.package == Package::kAsksAtLength) {
      installer.packages[*product.localPackage][L"ARPSYSTEMCOMPONENT"] = std::wstring(40, L'1');
    }
  }

  const ShowOutcome outcome = Product(installer, code_).ShowEntries();
  EXPECT_EQ(outcome.view32.state, test.state32);
  EXPECT_EQ(outcome.view64.state, test.state64);
  EXPECT_EQ(outcome.kept, test.kept);
  if (test.kept == Kept::kCannotTell) {
    EXPECT_EQ(outcome.recordError, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(outcome.packageError, static_cast<unsigned>(ERROR_OPEN_FAILED));
  }
  EXPECT_EQ(outcome.view32.state == State::kNotShown ? ERROR_ACCESS_DENIED : ERROR_SUCCESS, outcome.view32.error);
  // The registry holds what the outcome says; the entry keeps its name, the record stays as it was.
  for (const auto& [entry, state, view] : {std::tuple{test.entry32, outcome.view32.state, View::k32},
                                           std::tuple{test.entry64, outcome.view64.state, View::k64}}) {
    if (entry == Entry::kNoKey) continue;
    const bool hiddenBefore = entry != Entry::kVisible;
    EXPECT_EQ(SystemComponent(code_, view).has_value(), hiddenBefore && state != State::kShown) << ViewName(view);
    EXPECT_EQ(ValueExists(HKEY_LOCAL_MACHINE, UninstallPath(code_), L"DisplayName", view), entry != Entry::kNoDisplayName);
  }
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, record, L"SystemComponent", View::k64).has_value(), test.record == Record::kHides);
  // The package is read only when a hidden entry is to be shown.
  const bool hidden = test.entry32 == Entry::kHidden || test.entry32 == Entry::kLocked || test.entry64 == Entry::kHidden;
  EXPECT_EQ(installer.CallCount(L"GetPackageProperty") > 0, hidden && test.record != Record::kHides);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShowEntries, testing::ValuesIn(kShowCases),
                         [](const testing::TestParamInfo<ShowCase>& info) { return std::string(info.param.name); });

// A family is flagged only when none of its entries shows and hiding's repair (show, then hide all
// but the kept member) would show one: the kept member's entry is hidden by something other than its
// own product. The older member asks to stay hidden whenever it is hidden; another user's entry, or
// a stale registration's leftover, is not this run's to show or count (/list and /families alike).
enum class Older { kOwn, kOtherUser, kStale };

TEST(NoVisibleEntry, IsAFamilyWhoseKeptMemberTheRepairWouldShow) {
  const struct {
    const char* name;
    Entry kept;      // the newest member's entry, in the 32-bit view
    Record record;   // the newest member's record
    Entry older;     // the older member's entry, in the 64-bit view
    Older whose;
    bool flagged;
  } cases[] = {
      {"KeptHiddenByTheTool", Entry::kHidden, Record::kDoesNotHide, Entry::kHidden, Older::kOwn, true},
      {"KeptAsksToStayHidden", Entry::kHidden, Record::kHides, Entry::kHidden, Older::kOwn, false},
      {"KeptCannotTell", Entry::kHidden, Record::kNone, Entry::kHidden, Older::kOwn, false},
      {"KeptHasNoEntry", Entry::kNoKey, Record::kNone, Entry::kHidden, Older::kOwn, false},
      {"OlderShows", Entry::kHidden, Record::kDoesNotHide, Entry::kVisible, Older::kOwn, false},
      {"OnlyAnotherUsersEntryShows", Entry::kHidden, Record::kDoesNotHide, Entry::kVisible, Older::kOtherUser, true},
      {"OnlyAStaleLeftoverShows", Entry::kHidden, Record::kDoesNotHide, Entry::kVisible, Older::kStale, true},
  };
  for (const auto& test : cases) {
    const std::wstring kept = NewProductCode(), older = NewProductCode();
    UninstallEntries entries;
    if (test.kept == Entry::kHidden) {
      ASSERT_TRUE(entries.Add(kept, View::k32, L"Kept"));
      ASSERT_TRUE(WriteDword(UninstallPath(kept), View::k32, L"SystemComponent", 1));
    }
    if (test.older != Entry::kNoKey) {
      ASSERT_TRUE(entries.Add(older, View::k64, L"Older"));
      if (test.older == Entry::kHidden) {
        ASSERT_TRUE(WriteDword(UninstallPath(older), View::k64, L"SystemComponent", 1));
      }
      ASSERT_TRUE(WriteDword(kRecords + *PackGuid(older) + L"\\InstallProperties", View::k64, L"SystemComponent", 1));
    }
    if (test.record != Record::kNone) {
      ASSERT_TRUE(WriteDword(kRecords + *PackGuid(kept) + L"\\InstallProperties", View::k64,
                             test.record == Record::kHides ? L"SystemComponent" : L"Version", 1));
    }
    FakeInstaller installer({{older, L"1.0"}, {kept, L"2.0"}});
    if (test.whose == Older::kOtherUser) {
      installer.products[0].context = installer::kContextUserUnmanaged;
      installer.products[0].otherUserSid = L"S-1-5-21-1-2-3-1001";
      installer.products[0].version = L"3.0";  // newer, and still never the kept one
    } else if (test.whose == Older::kStale) {
      installer.products[0].context = 0;  // installed in no context: a stale registration
    }
    EXPECT_EQ(ProductFamily(installer, installer.knownUpgradeCode).ShowsNoEntryButCould(), test.flagged) << test.name;
    for (const std::wstring& code : {kept, older}) DeleteKeyTree(HKEY_LOCAL_MACHINE, kRecords + *PackGuid(code), View::k64);
  }
}

// /families takes its flag from the family: a family whose hidden entries all ask to stay hidden is
// not flagged, one whose kept entry the tool hid is.
TEST(NoVisibleEntry, FamiliesFlagsAFamilyAsTheFamilyDecides) {
  for (const bool asks : {true, false}) {
    const std::wstring older = NewProductCode(), kept = NewProductCode();
    UninstallEntries entries;
    for (const std::wstring& code : {older, kept}) {
      ASSERT_TRUE(entries.Add(code, View::k64, L"Entry"));
      ASSERT_TRUE(WriteDword(UninstallPath(code), View::k64, L"SystemComponent", 1));
      ASSERT_TRUE(WriteDword(kRecords + *PackGuid(code) + L"\\InstallProperties", View::k64,
                             asks || code == older ? L"SystemComponent" : L"Version", 1));
    }
    FakeInstaller installer({{older, L"1.0"}, {kept, L"2.0"}});
    const InstalledFamilies installed = ListInstalledFamilies(installer, {installer.knownUpgradeCode});
    ASSERT_EQ(installed.families.size(), 1u);
    EXPECT_EQ(installed.families[0].noVisibleEntry, !asks);
    for (const std::wstring& code : {older, kept}) DeleteKeyTree(HKEY_LOCAL_MACHINE, kRecords + *PackGuid(code), View::k64);
  }
}

// The real installer opening a cached package that is missing, or is no package at all, while the
// installer's record of the product cannot be read: the entry stays hidden, and the run says it
// could not tell.
class RealPackageReads : public FakeInstaller {
 public:
  using FakeInstaller::FakeInstaller;
  unsigned GetPackageProperty(const wchar_t* path, const wchar_t* property, wchar_t* value,
                              unsigned long* length) override {
    return installer::SystemInstaller().GetPackageProperty(path, property, value, length);
  }
};

TEST(ShowEntriesOnTheSystemInstaller, APackageThatCannotBeOpenedWithoutARecordKeepsTheEntryHidden) {
  const std::wstring notAPackage = TemporaryFolder() + L"msitool-not-a-package.msi";
  ASSERT_TRUE(WriteFileBytes(notAPackage, "plain text, no database"));
  for (const std::wstring& package : {TemporaryFolder() + L"msitool-missing.msi", notAPackage}) {
    const std::wstring code = NewProductCode();
    UninstallEntries entries;
    ASSERT_TRUE(entries.Add(code, View::k64, L"Hidden"));
    ASSERT_TRUE(WriteDword(UninstallPath(code), View::k64, L"SystemComponent", 1));
    FakeProduct product{code, L"1.0"};
    product.localPackage = package;
    RealPackageReads installer({product});
    const ShowOutcome outcome = Product(installer, code).ShowEntries();
    EXPECT_EQ(outcome.view64.state, State::kKeptHidden) << ToUtf8(package);
    EXPECT_EQ(outcome.kept, Kept::kCannotTell);
    EXPECT_NE(outcome.packageError, 0u);
    EXPECT_NE(outcome.packageError, static_cast<unsigned>(ERROR_UNKNOWN_PROPERTY)) << "a package read whole";
    EXPECT_EQ(SystemComponent(code, View::k64), 1u);
  }
  DeleteFileW(notAPackage.c_str());
}

}  // namespace
