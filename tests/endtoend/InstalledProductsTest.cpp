#include "endtoend/InstalledProductsTest.h"

#include "support/TemporaryFiles.h"

namespace {

constexpr DWORD kInstallerSuccess = 0;
constexpr DWORD kHidden = 1;

// For messages: the package's file name, which tells product, version and architecture.
std::string Describe(const TestPackage& package) {
  std::string text;
  for (const wchar_t* part = package.fileName; *part != L'\0'; ++part) text += static_cast<char>(*part);
  return text;
}

}  // namespace

void InstalledProductsTest::SetUp() {
  for (const TestPackage& package : packages_) {
    SCOPED_TRACE(Describe(package));
    ASSERT_EQ(kInstallerSuccess, InstallPackage(package));
    RegistryValues entry;
    ASSERT_TRUE(ReadUninstallKey(package.productCode, PackageView(package), entry));
    ASSERT_EQ(0u, entry.count(kSystemComponent));
    ASSERT_FALSE(UninstallKeyExists(package.productCode, OtherView(package)));
    ASSERT_TRUE(FileExists(InstalledFilePath(package)));
    installedEntries_[package.productCode] = std::move(entry);
  }
}

void InstalledProductsTest::TearDown() {
  // By product code: Wine forgets a whole family once one member is removed, so nothing here asks
  // the installer for the family.
  for (auto package = packages_.rbegin(); package != packages_.rend(); ++package) {
    if (UninstallKeyExists(package->productCode, PackageView(*package))) {
      SCOPED_TRACE(Describe(*package));
      EXPECT_EQ(kInstallerSuccess, RemoveProduct(package->productCode));
    }
  }
}

const RegistryValues& InstalledProductsTest::EntryAfterInstall(const TestPackage& package) const {
  return installedEntries_.at(package.productCode);
}

RegistryValues InstalledProductsTest::EntryNow(const TestPackage& package) const {
  RegistryValues entry;
  EXPECT_TRUE(ReadUninstallKey(package.productCode, PackageView(package), entry))
      << Describe(package) << ": no uninstall entry in the " << ViewName(PackageView(package));
  return entry;
}

void InstalledProductsTest::ExpectUntouched(const TestPackage& package) const {
  SCOPED_TRACE(Describe(package));
  const RegistryValues entry = EntryNow(package);
  EXPECT_EQ(0u, entry.count(kSystemComponent)) << "hidden";
  EXPECT_EQ(EntryAfterInstall(package), entry);
  EXPECT_FALSE(UninstallKeyExists(package.productCode, OtherView(package)));
  EXPECT_TRUE(FileExists(InstalledFilePath(package)));
}

void InstalledProductsTest::ExpectHidden(const TestPackage& package) const {
  SCOPED_TRACE(Describe(package));
  RegistryValues entry = EntryNow(package);
  const auto systemComponent = entry.find(kSystemComponent);
  if (systemComponent == entry.end()) {
    ADD_FAILURE() << "not hidden: no " << kSystemComponent << " value";
  } else {
    EXPECT_EQ(DwordValue(kHidden), systemComponent->second);
    entry.erase(systemComponent);
  }
  EXPECT_EQ(EntryAfterInstall(package), entry) << "values other than SystemComponent changed";
  EXPECT_FALSE(UninstallKeyExists(package.productCode, OtherView(package)));
  EXPECT_TRUE(FileExists(InstalledFilePath(package)));
}

void InstalledProductsTest::ExpectRemoved(const TestPackage& package) const {
  SCOPED_TRACE(Describe(package));
  EXPECT_FALSE(UninstallKeyExists(package.productCode, View::k32));
  EXPECT_FALSE(UninstallKeyExists(package.productCode, View::k64));
  EXPECT_FALSE(FileExists(InstalledFilePath(package)));
}
