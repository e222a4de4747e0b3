#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "endtoend/EndToEnd.h"
#include "registry/PackedGuid.h"
#include "support/JsonDocuments.h"
#include "support/ReportAgreement.h"
#include "support/TemporaryFiles.h"

// Each run with /json writes one document to the standard output and the banner to the standard
// error; the documents are kept for the schema check that follows the tests.
namespace {

std::wstring Family(const wchar_t* upgradeCode) { return L" /u:" + std::wstring(upgradeCode); }

// Runs the tool with arguments, expects the banner on the standard error and after it nothing or
// what starts with errorText, keeps the document as name, and returns it.
std::string Document(const std::string& name, const std::wstring& arguments, DWORD exitCode,
                     const std::string& errorText = "") {
  const ProcessOutput output = RunTool(arguments);
  EXPECT_EQ(exitCode, output.exitCode) << name;
  if (errorText.empty()) {
    EXPECT_EQ(kBanner, output.standardError) << name;
  } else {
    EXPECT_EQ(0u, output.standardError.rfind(kBanner + errorText, 0)) << output.standardError;
  }
  EXPECT_EQ(exitCode, JsonNumber(output.standardOutput, "exitCode")) << name;
  KeepJsonDocument("endtoend-" + name, output.standardOutput);
  return output.standardOutput;
}

// The text report of a line without /json: what follows the banner.
std::string Report(const std::wstring& arguments) {
  const ProcessOutput output = RunTool(arguments);
  EXPECT_EQ(0u, output.standardOutput.rfind(kBanner, 0)) << output.standardOutput;
  return output.standardOutput.substr(std::min(kBanner.size(), output.standardOutput.size()));
}

// Where a package's member stands in a document's members; past the end when it is not there.
std::string MemberPath(const std::string& document, const TestPackage& package) {
  std::size_t index = 0;
  for (; JsonAt(document, "members." + std::to_string(index) + ".productCode"); ++index) {
    if (JsonAt(document, "members." + std::to_string(index) + ".productCode") == package.productCode) break;
  }
  return "members." + std::to_string(index) + ".";
}

std::size_t Occurrences(const std::vector<std::wstring>& values, const std::wstring& value) {
  return static_cast<std::size_t>(std::count(values.begin(), values.end(), value));
}

// x64 2.0.0, x86 1.0.0, and 3.0.0 with its twin.
class JsonFamilyTest : public InstalledProductsTest {
 protected:
  JsonFamilyTest() : InstalledProductsTest({kSample2, kSample1, kSample3, kSample3Twin}) {}
};

TEST_F(JsonFamilyTest, ListHideAndRemovalEachTellTheirRunAsOneDocument) {
  const std::string listing = Document("list", L"/list /json" + Family(kSampleUpgradeCode), kSuccess);
  ExpectJsonAgreesWithReport(Report(L"/list" + Family(kSampleUpgradeCode)), listing);
  // Each entry is listed in the view its package wrote it to, and only there.
  for (const TestPackage& package : {kSample1, kSample2}) {
    const bool x64 = PackageView(package) == View::k64;
    EXPECT_EQ(JsonAt(listing, MemberPath(listing, package) + "entries.view64"), x64 ? L"visible" : L"none");
    EXPECT_EQ(JsonAt(listing, MemberPath(listing, package) + "entries.view32"), x64 ? L"none" : L"visible");
  }
  EXPECT_EQ(4u, JsonStrings(listing, L"productCode").size());
  EXPECT_EQ(1u, Occurrences(JsonStrings(listing, L"keepNewest"), L"keep"));
  EXPECT_EQ(Occurrences(JsonStrings(listing, L"name"), L"Quorvin Sample"), 4u);

  // The x86 member's entry refuses the write: that member is not hidden, the run fails.
  ASSERT_TRUE(SetKeyAccess(HKEY_LOCAL_MACHINE, UninstallPath(kSample1.productCode), PackageView(kSample1),
                           L"D:(D;;0x2;;;WD)(A;;GA;;;WD)"));
  const std::string hideReport = Report(L"/hideoldaddremoves /report" + Family(kSampleUpgradeCode));
  const std::string hiding = Document("hide", L"/hideoldaddremoves /json" + Family(kSampleUpgradeCode),
                                      kInstallFailure);
  ExpectJsonAgreesWithReport(hideReport, hiding);
  EXPECT_EQ(JsonAt(hiding, MemberPath(hiding, kSample2) + "views.view64.state"), L"hidden");
  EXPECT_EQ(JsonAt(hiding, MemberPath(hiding, kSample1) + "views.view32.state"), L"not-hidden");
  ASSERT_TRUE(SetKeyAccess(HKEY_LOCAL_MACHINE, UninstallPath(kSample1.productCode), PackageView(kSample1),
                           L"D:(A;;GA;;;WD)"));
  const std::vector<std::wstring> hideResults = JsonStrings(hiding, L"result");
  EXPECT_EQ(1u, Occurrences(hideResults, L"not-hidden"));
  EXPECT_EQ(2u, Occurrences(hideResults, L"hidden"));
  EXPECT_EQ(1u, Occurrences(hideResults, L"kept-newest"));
  EXPECT_EQ(1, JsonNumber(hiding, "summary.failed"));
  ExpectHidden(kSample2);

  const std::wstring log = TemporaryFolder() + L"msitool-json-test.log";
  const std::string removal =
      Document("keepnewest", L"/uninstall /keepnewest /report /json /log:" + log + Family(kSampleUpgradeCode), kSuccess);
  const std::vector<std::wstring> removalResults = JsonStrings(removal, L"result");
  EXPECT_EQ((std::vector<std::wstring>{L"kept-keepnewest", L"removed", L"removed", L"removed"}), removalResults);
  EXPECT_EQ(3u, JsonStrings(removal, L"installerLog").size());
  EXPECT_EQ(3, JsonNumber(removal, "summary.removed"));
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
  DeleteFileW(log.c_str());
}

// The name and version Windows Installer reports, planted in its own registration of a real member:
// every kind of character that could break a JSON text or a record reads back exactly.
TEST_F(JsonFamilyTest, PackageTextReadsBackExactlyWhateverItHolds) {
  const std::wstring name = L"Name\r\n\"quoted\" C:\\path\t\u0001\u007F\u0085\u2028\U0001F600\xD800 end";
  const std::wstring version = L"1.0 beta\n\"x\"\\\xDC00";
  const std::wstring registration = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
                                    L"Products\\" + *PackGuid(kSample1.productCode) + L"\\InstallProperties";
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, registration, L"DisplayName", name, View::k64));
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, registration, L"DisplayVersion", version, View::k64));
  const std::string listing = Document("hostile-list", L"/list /json" + Family(kSampleUpgradeCode), kSuccess);
  EXPECT_EQ(1u, Occurrences(JsonStrings(listing, L"name"), name));
  EXPECT_EQ(1u, Occurrences(JsonStrings(listing, L"version"), version));
  const std::string hiding = Document("hostile-hide", L"/hideoldaddremoves /json" + Family(kSampleUpgradeCode), kSuccess);
  EXPECT_EQ(1u, Occurrences(JsonStrings(hiding, L"name"), name));
}

class JsonRefusedRemovalTest : public InstalledProductsTest {
 protected:
  JsonRefusedRemovalTest() : InstalledProductsTest({kRefusing}) {}
};

TEST_F(JsonRefusedRemovalTest, ARemovalFromTheCopyTellsBothAnswers) {
  const std::string removal = Document("refused", L"/uninstall /json" + Family(kRefusingUpgradeCode), kSuccess);
  EXPECT_EQ(std::vector<std::wstring>{L"removed-from-copy"}, JsonStrings(removal, L"result"));
  EXPECT_EQ(static_cast<long long>(kInstallFailure), JsonNumber(removal, "members.0.installerError"));
  EXPECT_EQ(0, JsonNumber(removal, "members.0.copyError"));
  ExpectRemoved(kRefusing);
}

class JsonRestartTest : public InstalledProductsTest {
 protected:
  JsonRestartTest() : InstalledProductsTest({kRestart}) {}
};

TEST_F(JsonRestartTest, ARestartIsTheExitCodeAndTheMembersFlag) {
  const std::string removal = Document("restart", L"/uninstall /json" + Family(kRestartUpgradeCode), kRestartNeeded);
  EXPECT_NE(std::string::npos, removal.find("\"restartNeeded\": true"));
  EXPECT_EQ(1, JsonNumber(removal, "summary.restartNeeded"));
  ExpectRemoved(kRestart);
}

TEST(JsonStopTest, ALogThatCannotBeOpenedIsTheDocumentsError) {
  // A folder is no log file.
  const std::string document = Document(
      "log-refused", L"/list /json /log:C:\\windows" + Family(kSampleUpgradeCode), kLogNotOpened,
      "Cannot open the log file C:\\windows: ");
  EXPECT_EQ(static_cast<long long>(kLogNotOpened), JsonNumber(document, "error.code"));
  EXPECT_NE(std::string::npos, document.find("\"summary\": null"));
}

}  // namespace
