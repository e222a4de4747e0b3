#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "products/Product.h"
#include "support/FakeInstaller.h"
#include "support/TemporaryFiles.h"

namespace {

constexpr const wchar_t* kCode = L"{C0DE}";
constexpr const wchar_t* kRemoval = L"REMOVE=ALL REBOOT=ReallySuppress";

class Uninstall : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFileBytes(cache_.path() + L"1a2b3c.msi", "cached package"));
    product_.productCode = kCode;
    product_.version = L"1.0";
    product_.localPackage = cache_.path() + L"1a2b3c.msi";
    product_.packageName = L"Sample.msi";
  }

  bool RunUninstall() {
    installer_.products = {product_};
    Product product(installer_, kCode);
    return product.Uninstall();
  }

  ScratchFolder cache_;
  FakeProduct product_;
  FakeInstaller installer_;
  const TemporaryFolderWatch copies_;  // the private copy folders the tool makes
};

TEST_F(Uninstall, DirectRemovalNeedsNoCopy) {
  EXPECT_TRUE(RunUninstall());
  EXPECT_EQ(installer_.calls.back(),
            std::wstring(L"ConfigureProductEx {C0DE} 65535 2 ") + kRemoval);
  EXPECT_EQ(installer_.CallCount(L"InstallProduct"), 0);
  EXPECT_EQ(installer_.CallCount(L"GetProductInfo {C0DE} LocalPackage"), 0);
}

TEST_F(Uninstall, RestartCodesCountAsRemovedEitherWay) {
  for (unsigned restart : {3010u, 1641u}) {
    product_.configureResult = restart;
    installer_ = FakeInstaller();
    EXPECT_TRUE(RunUninstall()) << restart;
    EXPECT_EQ(installer_.CallCount(L"InstallProduct"), 0) << "no second removal of a removed product";

    product_.configureResult = kInstallFailure;
    product_.installResult = restart;
    installer_ = FakeInstaller();
    EXPECT_TRUE(RunUninstall()) << restart;
    EXPECT_EQ(installer_.CallCount(L"InstallProduct"), 1);
  }
}

TEST_F(Uninstall, RefusedRemovalRunsFromAPrivateCopyThatIsDeletedAfterwards) {
  product_.configureResult = kInstallFailure;
  EXPECT_TRUE(RunUninstall());
  ASSERT_EQ(installer_.installCalls.size(), 1u);
  const FakeInstaller::InstallCall& call = installer_.installCalls[0];
  EXPECT_TRUE(call.packageExisted);
  EXPECT_EQ(call.commandLine, kRemoval);
  const std::wstring temporary = TemporaryFolder();
  ASSERT_EQ(call.packagePath.compare(0, temporary.size() + 8, temporary + L"msitool-"), 0)
      << testing::PrintToString(call.packagePath);
  EXPECT_EQ(call.packagePath.substr(call.packagePath.size() - 11), L"\\Sample.msi");
  EXPECT_FALSE(FileExists(call.packagePath));
  EXPECT_EQ(copies_.Added(), std::vector<std::wstring>{});
  EXPECT_EQ(ReadFileBytes(*product_.localPackage), "cached package") << "the cache stays";
}

// IsPlainFileName and PackageCopy have the cases of each; here, that the removal stops at them.
TEST_F(Uninstall, CachedPackageThatCannotBeCopiedFailsWithoutACopy) {
  product_.configureResult = kInstallFailure;
  std::vector<FakeProduct> cases(5, product_);
  cases[0].localPackage.reset();
  cases[1].packageName.reset();
  cases[2].localPackage = cache_.path() + L"gone.msi";
  cases[3].packageName = L"..\\evil.msi";
  cases[4].packageName = std::wstring(240, L'p') + L".msi";  // the copy's path would pass MAX_PATH
  for (std::size_t i = 0; i < cases.size(); ++i) {
    product_ = cases[i];
    installer_ = FakeInstaller();
    EXPECT_FALSE(RunUninstall()) << "case " << i;
    EXPECT_EQ(installer_.CallCount(L"InstallProduct"), 0) << "case " << i;
  }
  EXPECT_EQ(copies_.Added(), std::vector<std::wstring>{});
}

TEST_F(Uninstall, TemporaryFolderLongerThanMaxPathIsRefused) {
  product_.configureResult = kInstallFailure;
  wchar_t saved[MAX_PATH + 1] = {};
  const DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
  // Wine's GetTempPathW gives nothing for a folder of 260 characters or more, so the one that
  // exists is as long as it still gives (258 and the backslash): only the private folder inside
  // it passes MAX_PATH, which the copy must check itself.
  const std::wstring parent = cache_.path() + std::wstring(100, L'a');
  const std::wstring existing = parent + L'\\' + std::wstring(258 - parent.size() - 1, L'b');
  ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(existing.c_str(), nullptr));
  for (const std::wstring& temporary : {existing, L"C:\\" + std::wstring(300, L't')}) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", temporary.c_str()));
    installer_ = FakeInstaller();
    const bool removed = RunUninstall();
    SetEnvironmentVariableW(L"TMP", savedLength > 0 ? saved : nullptr);
    EXPECT_FALSE(removed) << temporary.size();
    EXPECT_EQ(installer_.CallCount(L"InstallProduct"), 0);
  }
  EXPECT_TRUE(FindEntries(existing + L'\\', L"msitool-*").empty());
  RemoveDirectoryW(existing.c_str());
  RemoveDirectoryW(parent.c_str());
}

TEST_F(Uninstall, FilePlantedUnderThePackageNameIsNeitherUsedNorTouched) {
  const std::wstring planted = TemporaryFolder() + L"Sample.msi";
  ASSERT_TRUE(WriteFileBytes(planted, "planted"));
  product_.configureResult = kInstallFailure;
  EXPECT_TRUE(RunUninstall());
  ASSERT_EQ(installer_.installCalls.size(), 1u);
  EXPECT_NE(installer_.installCalls[0].packagePath, planted);
  EXPECT_EQ(ReadFileBytes(planted), "planted");
  DeleteFileW(planted.c_str());
}

}  // namespace
