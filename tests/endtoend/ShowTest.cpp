#include "endtoend/EndToEnd.h"

#include <map>
#include <string>
#include <vector>

#include "common/Utf8.h"
#include "registry/PackedGuid.h"
#include "support/JsonDocuments.h"
#include "support/ReportAgreement.h"

// Undoing hiding on real packages: a family whose newest member went after its older ones were
// hidden, two members of which ask to stay hidden (one by its package, one per user on its install
// command line), in both registry views, beside a product hidden by hand.
namespace {

const std::wstring kQuiet = kQuietUpgradeCode;

// Where the installer registers a family: per machine in two places, and the user's own.
struct Registration {
  HKEY root;
  std::wstring path;
  View view;
};
const Registration kRegistrations[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\", View::k64},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\", View::k64},
    {HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\UpgradeCodes\\", View::kDefault},
};

std::string Line(const TestPackage& package, const char* rest) {
  return ToUtf8(package.productCode) + " " + ToUtf8(package.version) + " " + rest + "\n";
}

class ShowTest : public InstalledProductsTest {
 protected:
  ShowTest() : InstalledProductsTest({kQuiet1, kQuiet2, kQuiet3, kOther}) {}

  void SetUp() override {
    InstalledProductsTest::SetUp();
    ASSERT_EQ(0u, InstallPackage(kQuietAuthored));
    ASSERT_EQ(0u, InstallPackage(kQuietAsked, L"ARPSYSTEMCOMPONENT=1 ALLUSERS=\"\""));
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, UninstallPath(kOther.productCode), PackageView(kOther), kSystemComponent,
                           DwordValue(1)));
    // The installer hides the two that ask for it.
    ASSERT_EQ(Hiding(kQuietAuthored), 1u);
    ASSERT_EQ(Hiding(kQuietAsked), 1u);
  }

  void TearDown() override {
    for (const TestPackage* package : {&kQuietAsked, &kQuietAuthored}) EXPECT_EQ(0u, RemoveProduct(package->productCode));
    InstalledProductsTest::TearDown();
  }

  // Removes the member as msiexec /x does, and gives the family back the registration of the members
  // left, as Windows keeps it: Wine forgets the whole family's.
  void RemoveMember(const TestPackage& member) {
    std::vector<std::pair<Registration, RegistryValues>> kept;
    for (const Registration& registration : kRegistrations) {
      RegistryValues values;
      if (ReadValues(registration.root, registration.path + *PackGuid(kQuiet), registration.view, values)) {
        values.erase(*PackGuid(member.productCode));
        kept.emplace_back(registration, values);
      }
    }
    ASSERT_FALSE(kept.empty());
    ASSERT_EQ(0u, RemoveProduct(member.productCode));
    for (const auto& [registration, values] : kept) {
      for (const auto& [name, value] : values) {
        ASSERT_TRUE(WriteValue(registration.root, registration.path + *PackGuid(kQuiet), registration.view, name, value));
      }
    }
  }

  std::optional<DWORD> Hiding(const TestPackage& package) const {
    return SystemComponent(package.productCode, PackageView(package));
  }
};

TEST_F(ShowTest, ShowsWhatTheToolHidAndKeepsWhatAsksToBeHiddenSoHidingCanStartAgain) {
  const std::wstring show = L"/showaddremoves /u:" + kQuiet;
  ExpectQuietSuccess(RunTool(L"/hideoldaddremoves /u:" + kQuiet));
  RemoveMember(kQuiet3);

  // Nothing of the family shows: /families says so, and that /showaddremoves would help.
  const std::string family =
      ToUtf8(kQuiet) + " family members=4 visible-entries=0 no-visible-entry\n" +
      Line(kQuiet2, "per-machine 32-bit=none 64-bit=hidden name=Quorvin Quiet") +
      Line(kQuietAsked, "per-user 32-bit=none 64-bit=hidden name=Quorvin Quiet Service") +
      Line(kQuietAuthored, "per-machine 32-bit=hidden 64-bit=none name=Quorvin Quiet Agent") +
      Line(kQuiet1, "per-machine 32-bit=hidden 64-bit=none name=Quorvin Quiet");
  const ProcessOutput families = RunTool(L"/families /find:quiet");
  EXPECT_EQ(kBanner + family + "summary: 1 families, 4 members, 0 without-family, 0 several-visible-entries, "
                               "1 no-visible-entry; exit code 0\n",
            families.standardOutput);
  const ProcessOutput familiesJson = RunTool(L"/families /json");
  KeepJsonDocument("endtoend-families-no-visible-entry", familiesJson.standardOutput);
  // Other's family too: its one entry was hidden by hand.
  EXPECT_EQ(JsonAt(familiesJson.standardOutput, "summary.noVisibleEntry"), L"2");
  EXPECT_NE(std::string::npos, RunTool(L"/list /u:" + kQuiet).standardOutput.find(ToUtf8(kQuiet) + " no-visible-entry\n"));

  const ProcessOutput shown = RunTool(show + L" /json");
  KeepJsonDocument("endtoend-showaddremoves", shown.standardOutput);
  EXPECT_EQ(kSuccess, shown.exitCode);
  std::map<std::wstring, std::wstring> results;
  for (int member = 0; JsonAt(shown.standardOutput, "members." + std::to_string(member) + ".productCode"); ++member) {
    const std::string path = "members." + std::to_string(member) + ".";
    results[*JsonAt(shown.standardOutput, path + "productCode")] = *JsonAt(shown.standardOutput, path + "result");
  }
  EXPECT_EQ(results, (std::map<std::wstring, std::wstring>{{kQuiet1.productCode, L"shown"},
                                                           {kQuiet2.productCode, L"shown"},
                                                           {kQuietAuthored.productCode, L"kept-hidden"},
                                                           {kQuietAsked.productCode, L"kept-hidden"}}));
  // Shown: the entries as installed; kept: hidden by the installer as asked; the rest untouched.
  ExpectUntouched(kQuiet1);
  ExpectUntouched(kQuiet2);
  EXPECT_EQ(Hiding(kQuietAuthored), 1u);
  EXPECT_EQ(Hiding(kQuietAsked), 1u);
  ExpectHidden(kOther);

  // Again: nothing left to show, and nothing changes.
  RegistryValues before, after;
  ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(kQuietAsked.productCode), View::k64, before));
  const ProcessOutput again = RunTool(show + L" /report");
  EXPECT_EQ(kSuccess, again.exitCode);
  for (const std::string& record : {Line(kQuiet1, "already-visible"), Line(kQuiet2, "already-visible"),
                                    Line(kQuietAuthored, "kept-hidden by-package"),
                                    Line(kQuietAsked, "kept-hidden by-package"),
                                    std::string("summary: 4 members, 0 shown, 2 already-visible, 2 kept-hidden, 0 no-entry, "
                                                "0 failed; exit code 0\n")}) {
    EXPECT_NE(std::string::npos, again.standardOutput.find(record)) << record << again.standardOutput;
  }
  const std::string againJson = RunTool(show + L" /json").standardOutput;
  KeepJsonDocument("endtoend-showaddremoves-again", againJson);
  ASSERT_EQ(again.standardOutput.rfind(kBanner, 0), 0u);
  ExpectJsonAgreesWithReport(again.standardOutput.substr(kBanner.size()), againJson);
  ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(kQuietAsked.productCode), View::k64, after));
  EXPECT_EQ(before, after);
  ExpectUntouched(kQuiet1);
  ExpectUntouched(kQuiet2);

  // Hiding again keeps the new newest member visible.
  ExpectQuietSuccess(RunTool(L"/hideoldaddremoves /u:" + kQuiet));
  ExpectUntouched(kQuiet2);
  ExpectHidden(kQuiet1);
  EXPECT_NE(std::string::npos, RunTool(L"/families /find:quiet").standardOutput.find(
                                   ToUtf8(kQuiet) + " family members=4 visible-entries=1\n"));
}

}  // namespace
