#include "endtoend/EndToEnd.h"

#include <msi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Utf8.h"
#include "registry/PackedGuid.h"
#include "support/JsonDocuments.h"
#include "support/ReportAgreement.h"
#include "support/TemporaryFiles.h"

// /families on a machine with two families (mixed 32/64-bit, one with a hidden and a per-user
// member and two visible entries), a product without an upgrade code, and registrations that are
// not what they should be.
namespace {

const std::wstring kUpgradeCodes = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\";
const std::wstring kPlantedName = L"Quorvin \u00C9t\u00E9";  // how Other reads: "Quorvin Été"
const std::wstring kOlderName = L"Quorvin Sample Legacy";     // Sample 1.0.0's, not its newest member's
constexpr const wchar_t* kLongName = L"0000000000000000000000000000000000000000";

std::wstring Lower(std::wstring text) {
  for (wchar_t& character : text) character = static_cast<wchar_t>(towlower(character));
  return text;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& character : text) character = static_cast<wchar_t>(towupper(character));
  return text;
}

// Registry value names ignore case, so a new case takes a delete and a write.
bool RenameValue(const std::wstring& key, const std::wstring& from, const std::wstring& to) {
  HKEY family = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &family) != ERROR_SUCCESS) {
    return false;
  }
  const bool renamed = RegDeleteValueW(family, from.c_str()) == ERROR_SUCCESS &&
                       RegSetValueExW(family, to.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t)) ==
                           ERROR_SUCCESS;
  RegCloseKey(family);
  return renamed;
}

bool PlantName(const TestPackage& package, const std::wstring& name) {
  return WriteString(HKEY_LOCAL_MACHINE,
                     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
                         *PackGuid(package.productCode) + L"\\InstallProperties",
                     L"DisplayName", name, View::k64);
}

std::string Family(const wchar_t* upgradeCode, int members, int visible) {
  return ToUtf8(upgradeCode) + " family members=" + std::to_string(members) + " visible-entries=" + std::to_string(visible) + "\n";
}

std::string Member(const TestPackage& package, const char* context, const char* view32, const char* view64,
                   const std::wstring& name, const char* kind = "") {
  return ToUtf8(package.productCode) + " " + ToUtf8(package.version) + " " + kind + context + " 32-bit=" + view32 +
         " 64-bit=" + view64 + " name=" + ToUtf8(name) + "\n";
}

class FamiliesTest : public InstalledProductsTest {
 protected:
  FamiliesTest() : InstalledProductsTest({kSample2, kSample1, kOther, kLoner}) {}

  void SetUp() override {
    InstalledProductsTest::SetUp();
    ExpectQuietSuccess(RunTool(L"/hideoldaddremoves /u:" + std::wstring(kSampleUpgradeCode)));
    ASSERT_EQ(0u, InstallPackage(kSample3, L"ALLUSERS=\"\""));  // per user, the newest member
    ASSERT_TRUE(PlantName(kOther, kPlantedName));
    ASSERT_TRUE(PlantName(kSample1, kOlderName));
    // A key that is no packed GUID, a value that is none, and a stale registration of a product
    // the installer does not know: each is skipped, none makes a family.
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kUpgradeCodes + L"NotAPackedGuid", L"x", L"", View::k64));
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kUpgradeCodes + *PackGuid(kSampleUpgradeCode), L"not a code", L"",
                            View::k64));
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kUpgradeCodes + *PackGuid(kUnknownUpgradeCode),
                            PackGuid(L"{11111111-2222-3333-4444-555555555555}")->c_str(), L"", View::k64));
    // A value name longer than a packed code, ahead of every member's: the installer answers an
    // error at its index. And Other's member registered under its packed code in lower case.
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kUpgradeCodes + *PackGuid(kSampleUpgradeCode), kLongName, L"",
                            View::k64));
    ASSERT_TRUE(RenameValue(kUpgradeCodes + *PackGuid(kOtherUpgradeCode), *PackGuid(kOther.productCode),
                            Lower(*PackGuid(kOther.productCode))));
  }

  void TearDown() override {
    // The tests after these share the prefix: what was planted goes.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kUpgradeCodes + L"NotAPackedGuid", View::k64);
    EXPECT_TRUE(RenameValue(kUpgradeCodes + *PackGuid(kOtherUpgradeCode), Lower(*PackGuid(kOther.productCode)),
                            *PackGuid(kOther.productCode)));
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kUpgradeCodes + *PackGuid(kUnknownUpgradeCode), View::k64);
    HKEY family = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kUpgradeCodes + *PackGuid(kSampleUpgradeCode)).c_str(), 0,
                      KEY_SET_VALUE | KEY_WOW64_64KEY, &family) == ERROR_SUCCESS) {
      RegDeleteValueW(family, L"not a code");
      RegDeleteValueW(family, kLongName);
      RegCloseKey(family);
    }
    EXPECT_EQ(0u, RemoveProduct(kSample3.productCode));
    InstalledProductsTest::TearDown();
  }
};

TEST_F(FamiliesTest, ListsEachFamilyNewestFirstThenTheProductsWithoutOneAndChangesNothing) {
  const std::wstring log = TemporaryFolder() + L"msitool-families-test.log";
  const ProcessOutput output = RunTool(L"/families /log:" + log);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ("", output.standardError);
  const std::string report =
      Family(kSampleUpgradeCode, 3, 2) + Member(kSample3, "per-user", "visible", "none", kSample3.productName) +
      Member(kSample2, "per-machine", "none", "visible", kSample2.productName) +
      Member(kSample1, "per-machine", "hidden", "none", kOlderName) + Family(kOtherUpgradeCode, 1, 1) +
      Member(kOther, "per-machine", "visible", "none", kPlantedName) +
      Member(kLoner, "per-machine", "none", "visible", kLoner.productName, "without-family ") +
      "summary: 2 families, 4 members, 1 without-family, 1 several-visible-entries; exit code 0\n";
  EXPECT_EQ(kBanner + report, output.standardOutput);
  const std::string logText = ReadFileBytes(log);
  EXPECT_NE(std::string::npos, logText.find("not packed GUIDs: 1 keys, 2 values")) << logText;
  EXPECT_NE(std::string::npos, logText.find("left out: 1 registered members")) << logText;
  EXPECT_NE(std::string::npos, logText.find("skipped index 0 of the installer's list of " + ToUtf8(kSampleUpgradeCode) +
                                            "'s members: error 234, ")) << logText;
  DeleteFileW(log.c_str());

  const ProcessOutput json = RunTool(L"/families /json");
  KeepJsonDocument("endtoend-families", json.standardOutput);
  ExpectJsonAgreesWithReport(report, json.standardOutput);
  // The installer's own enumeration of each code listed, read to its end past the entries it answers
  // with an error, gives exactly the members listed, each once and in upper case. Wine's repeats a
  // member when a value of the family's key is not a packed code: listed once.
  for (std::size_t family = 0; JsonAt(json.standardOutput, "families." + std::to_string(family) + ".upgradeCode"); ++family) {
    const std::string path = "families." + std::to_string(family) + ".";
    const std::wstring upgradeCode = *JsonAt(json.standardOutput, path + "upgradeCode");
    std::vector<std::wstring> enumerated, listed;
    wchar_t productCode[39] = {};
    for (DWORD index = 0;; ++index) {
      const UINT result = MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, productCode);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result == ERROR_SUCCESS) enumerated.push_back(Upper(productCode));
    }
    for (std::size_t member = 0; JsonAt(json.standardOutput, path + "members." + std::to_string(member) + ".productCode"); ++member) {
      listed.push_back(*JsonAt(json.standardOutput, path + "members." + std::to_string(member) + ".productCode"));
    }
    std::sort(enumerated.begin(), enumerated.end());
    enumerated.erase(std::unique(enumerated.begin(), enumerated.end()), enumerated.end());  // see below
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(enumerated, listed);
  }
  // Read only: every entry as the set-up left it.
  ExpectHidden(kSample1);
  for (const TestPackage& package : {kSample2, kOther, kLoner}) ExpectUntouched(package);

  // Hidden down to one entry, the family of three no longer shows several.
  ExpectQuietSuccess(RunTool(L"/hideoldaddremoves /u:" + std::wstring(kSampleUpgradeCode)));
  EXPECT_NE(std::string::npos, RunTool(L"/families").standardOutput.find(
                                   "family members=3 visible-entries=1\n"))
      << "the hidden members still count";
  EXPECT_NE(std::string::npos, RunTool(L"/families").standardOutput.find(
                                   "summary: 2 families, 4 members, 1 without-family, 0 several-visible-entries;"));
}

TEST_F(FamiliesTest, FindKeepsWhatHasTheTextInItsNameIgnoringCaseInEveryScript) {
  const struct {
    const wchar_t* text;
    const char* summary;
  } cases[] = {
      {L"\u00E9T\u00C9", "1 families, 1 members, 0 without-family, 0 several-visible-entries"},
      {L"sAmPlE", "1 families, 3 members, 0 without-family, 1 several-visible-entries"},
      {L"LEGACY", "1 families, 3 members, 0 without-family, 1 several-visible-entries"},  // an older member's
      {L"loner", "0 families, 0 members, 1 without-family, 0 several-visible-entries"},
      {L"quorvin", "2 families, 4 members, 1 without-family, 1 several-visible-entries"},
      {L"Nothing Like It", "0 families, 0 members, 0 without-family, 0 several-visible-entries"},
  };
  for (const auto& test : cases) {
    const ProcessOutput output = RunTool(std::wstring(L"/families /find:\"") + test.text + L"\"");
    EXPECT_EQ(kSuccess, output.exitCode);
    EXPECT_NE(std::string::npos, output.standardOutput.find(std::string("summary: ") + test.summary + ";"))
        << output.standardOutput;
  }
}

}  // namespace
