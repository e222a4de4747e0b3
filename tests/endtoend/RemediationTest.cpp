#include "endtoend/EndToEnd.h"

#include <msi.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "common/Utf8.h"
#include "registry/PackedGuid.h"

// The README's Intune remediation over every shape a family's newest member takes: detection asks
// /families whether the family is flagged no-visible-entry, the repair runs /showaddremoves, then
// /hideoldaddremoves. One repair settles it: detection then flags nothing, and a second repair
// changes no entry.
namespace {

const std::wstring kFamily = L" /u:" + std::wstring(kSampleUpgradeCode);
const std::wstring kRegistration =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" + *PackGuid(kSampleUpgradeCode);
// Registered in the family, installed by nobody, and still with an uninstall entry.
const std::wstring kStaleCode = L"{5A1E0D00-1111-4222-8333-944455556666}";

enum class Newest { kPlain, kSelfHidden, kWithoutEntry, kOtherUser, kStale };

// Whether /families flags the family.
bool Flagged() {
  const ProcessOutput output = RunTool(L"/families");
  EXPECT_EQ(kSuccess, output.exitCode);
  const std::size_t at = output.standardOutput.find(ToUtf8(kSampleUpgradeCode) + " family ");
  if (at == std::string::npos) {
    ADD_FAILURE() << "no family record: " << output.standardOutput;
    return false;
  }
  const std::string line = output.standardOutput.substr(at, output.standardOutput.find('\n', at) - at);
  const std::string flag = " no-visible-entry";
  return line.size() > flag.size() && line.compare(line.size() - flag.size(), flag.size(), flag) == 0;
}

void Repair() {
  EXPECT_EQ(kSuccess, RunTool(L"/showaddremoves" + kFamily).exitCode);
  EXPECT_EQ(kSuccess, RunTool(L"/hideoldaddremoves" + kFamily).exitCode);
}

const std::wstring kCodes[] = {kSample1.productCode, kSample2.productCode, kSample3.productCode, kStaleCode};

// The installed members whose uninstall entry shows in either view. The stale registration's
// leftover entry is left out: Wine's enumeration names that product as a member, so hiding hides
// its entry as an older member's, which is no part of what the flag says.
std::set<std::wstring> Visible() {
  std::set<std::wstring> visible;
  for (const TestPackage* member : {&kSample1, &kSample2, &kSample3}) {
    for (const View view : {View::k32, View::k64}) {
      if (KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(member->productCode), view) &&
          SystemComponent(member->productCode, view) != 1u) {
        visible.insert(member->productCode);
      }
    }
  }
  return visible;
}

// Every entry's values, to tell that a run changed none.
std::map<std::pair<std::wstring, View>, RegistryValues> Entries() {
  std::map<std::pair<std::wstring, View>, RegistryValues> entries;
  for (const std::wstring& code : kCodes) {
    for (const View view : {View::k32, View::k64}) {
      static_cast<void>(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(code), view, entries[{code, view}]));
    }
  }
  return entries;
}

// Removes what a shape installed, newest first, whatever the test did to it: the installer
// removes a product whose uninstall entry is gone all the same. Another user's goes last, as its own.
struct Installed {
  std::optional<AnotherUsersInstall> otherUser;
  UninstallEntries leftover;

  ~Installed() {
    for (const TestPackage* package : {&kSample3, &kSample2, &kSample1}) {
      if (MsiQueryProductStateW(package->productCode) == INSTALLSTATE_DEFAULT) {
        EXPECT_EQ(0u, RemoveProduct(package->productCode));
      }
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kRegistration, View::k64);  // the stale value, if Wine left the key
  }
};

TEST(RemediationTest, OneRepairSettlesEveryShapeOfTheNewestMember) {
  const struct {
    const char* shape;
    Newest newest;
    const TestPackage* hiddenByMistake;  // the member hiding keeps, hidden by hand: the only flagged shapes
    std::set<std::wstring> visible;      // after the repair
  } cases[] = {
      {"plain", Newest::kPlain, &kSample3, {kSample3.productCode}},
      {"newest hides itself", Newest::kSelfHidden, nullptr, {}},
      {"newest without entry", Newest::kWithoutEntry, nullptr, {}},
      {"newest another user's", Newest::kOtherUser, &kSample2, {kSample2.productCode, kSample3.productCode}},
      {"newest stale", Newest::kStale, &kSample2, {kSample2.productCode}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.shape);
    Installed installed;
    for (const TestPackage* package : {&kSample1, &kSample2}) ASSERT_EQ(0u, InstallPackage(*package));
    switch (test.newest) {
      case Newest::kPlain:
        ASSERT_EQ(0u, InstallPackage(kSample3));
        break;
      case Newest::kSelfHidden:
        ASSERT_EQ(0u, InstallPackage(kSample3, L"ARPSYSTEMCOMPONENT=1"));
        break;
      case Newest::kWithoutEntry:
        ASSERT_EQ(0u, InstallPackage(kSample3));
        DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallPath(kSample3.productCode), PackageView(kSample3));
        break;
      case Newest::kOtherUser:
        installed.otherUser.emplace(kSample3);
        ASSERT_NO_FATAL_FAILURE(installed.otherUser->Make());
        break;
      case Newest::kStale:
        ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kRegistration, PackGuid(kStaleCode)->c_str(), L"", View::k64));
        ASSERT_TRUE(installed.leftover.Add(kStaleCode, View::k32, L"Quorvin Sample"));
        break;
    }
    // What earlier runs left: the older members hidden, and in the flagged shapes the member that
    // hiding keeps hidden as well, in its entry alone, as a mistaken run of a tool would.
    EXPECT_EQ(kSuccess, RunTool(L"/hideoldaddremoves" + kFamily).exitCode);
    if (test.hiddenByMistake != nullptr) {
      ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, UninstallPath(test.hiddenByMistake->productCode),
                             PackageView(*test.hiddenByMistake), kSystemComponent, DwordValue(1)));
    }
    EXPECT_EQ(test.hiddenByMistake != nullptr, Flagged());

    Repair();
    EXPECT_EQ(test.visible, Visible());
    EXPECT_FALSE(Flagged());
    const auto repaired = Entries();
    Repair();
    EXPECT_EQ(repaired, Entries());
    EXPECT_FALSE(Flagged());
    if (installed.otherUser) installed.otherUser->ExpectUntouched();
  }
}

}  // namespace
