#include "endtoend/EndToEnd.h"

#include <string>

#include "common/Utf8.h"
#include "support/JsonDocuments.h"
#include "support/ReportAgreement.h"

// An uninstall entry that claims Windows Installer for a product nobody installed: Programs and
// Features lists it and cannot remove it. /families names it and leaves it as it is.
namespace {

const std::wstring kOrphan = L"{0D0D0D0D-1111-4222-8333-444444444444}";
const std::wstring kNotTheInstallers = L"{0D0D0D0D-1111-4222-8333-555555555555}";

class OrphanedEntryTest : public InstalledProductsTest {
 protected:
  OrphanedEntryTest() : InstalledProductsTest({kLoner}) {}

  void SetUp() override {
    InstalledProductsTest::SetUp();
    for (const std::wstring& code : {kOrphan, kNotTheInstallers}) {
      ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, UninstallPath(code), L"DisplayName", L"Quorvin Left Behind", View::k64));
      ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, UninstallPath(code), L"DisplayVersion", L"4.0.0", View::k64));
    }
    HKEY entry = nullptr;
    const DWORD claims = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallPath(kOrphan).c_str(), 0,
                                           KEY_SET_VALUE | KEY_WOW64_64KEY, &entry));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(entry, L"WindowsInstaller", 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&claims), sizeof(claims)));
    RegCloseKey(entry);
  }

  void TearDown() override {
    for (const std::wstring& code : {kOrphan, kNotTheInstallers}) DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallPath(code), View::k64);
    InstalledProductsTest::TearDown();
  }
};

TEST_F(OrphanedEntryTest, FamiliesNamesAnEntryNoUserInstalledAndChangesNothing) {
  RegistryValues before, after;
  ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(kOrphan), View::k64, before));
  const ProcessOutput output = RunTool(L"/families");
  EXPECT_EQ(kSuccess, output.exitCode);
  const std::string report = ToUtf8(kLoner.productCode) + " 1.0.0 without-family per-machine 32-bit=none 64-bit=visible name=" +
                ToUtf8(kLoner.productName) + "\n" + ToUtf8(kOrphan) +
                " 4.0.0 orphaned-entry 64-bit name=Quorvin Left Behind\n"
                "summary: 0 families, 0 members, 1 without-family, 0 several-visible-entries, 1 orphaned-entry; "
                "exit code 0\n";
  EXPECT_EQ(kBanner + report, output.standardOutput);
  ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(kOrphan), View::k64, after));
  EXPECT_EQ(before, after);
  ExpectUntouched(kLoner);

  const ProcessOutput json = RunTool(L"/families /json");
  KeepJsonDocument("endtoend-families-orphaned", json.standardOutput);
  ExpectJsonAgreesWithReport(report, json.standardOutput);
  EXPECT_EQ(JsonAt(json.standardOutput, "orphanedEntries.0.productCode"), kOrphan);
  EXPECT_EQ(JsonAt(json.standardOutput, "orphanedEntries.0.view"), L"64-bit");
  EXPECT_EQ(JsonAt(json.standardOutput, "orphanedEntries.1.productCode"), std::nullopt);
  EXPECT_EQ(JsonAt(json.standardOutput, "summary.orphanedEntries"), L"1");
  EXPECT_NE(std::string::npos, RunTool(L"/families /find:BEHIND").standardOutput.find(
                                   "0 without-family, 0 several-visible-entries, 1 orphaned-entry;"));
  EXPECT_EQ(std::string::npos, RunTool(L"/families /find:loner").standardOutput.find("orphaned-entry"));
}

}  // namespace
