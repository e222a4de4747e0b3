#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "TestPackages.h"
#include "endtoend/TestPackageFiles.h"
#include "endtoend/UninstallKey.h"

// A fixture that installs packages, in the given order, and removes by product code whatever of them
// is still installed afterwards. It keeps each uninstall entry as it was right after the installation.
class InstalledProductsTest : public testing::Test {
 protected:
  explicit InstalledProductsTest(std::vector<TestPackage> packages) : packages_(std::move(packages)) {}

  void SetUp() override;
  void TearDown() override;

  // The package's uninstall entry as the installation left it.
  const RegistryValues& EntryAfterInstall(const TestPackage& package) const;

  // The package's uninstall entry now; empty, with a test failure, when it is gone.
  RegistryValues EntryNow(const TestPackage& package) const;

  // Expects the entry, the file and the absence of an entry in the other view to be as installed.
  void ExpectUntouched(const TestPackage& package) const;

  // Expects the entry to be as installed plus SystemComponent = REG_DWORD 1, and the file in place.
  void ExpectHidden(const TestPackage& package) const;

  // Expects no entry in either view and no installed file.
  void ExpectRemoved(const TestPackage& package) const;

  const std::vector<TestPackage>& Packages() const { return packages_; }

 private:
  std::vector<TestPackage> packages_;
  std::map<std::wstring, RegistryValues> installedEntries_;
};

// The value that hides an uninstall entry from the list of installed programs.
inline const std::wstring kSystemComponent = L"SystemComponent";
