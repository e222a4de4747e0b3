#pragma once

#include <windows.h>

#include <string>

#include "TestPackages.h"
#include "endtoend/UninstallKey.h"

// The registry view that holds the package's uninstall entry.
View PackageView(const TestPackage& package);

// The registry view that must never get an entry for the package.
View OtherView(const TestPackage& package);

// The package file, in packages\ beside this test program.
std::wstring PackagePath(const TestPackage& package);

// The file that the package installs.
std::wstring InstalledFilePath(const TestPackage& package);

// Installs the package silently with msiexec; returns msiexec's exit code, 0xFFFFFFFF when it did not
// start.
DWORD InstallPackage(const TestPackage& package);

// Removes the product silently with msiexec; returns msiexec's exit code, 0xFFFFFFFF when it did not
// start.
DWORD RemoveProduct(const std::wstring& productCode);
