#pragma once

// The version the banner shows; the resource version block carries the same numbers.
constexpr int kToolVersionMajor = 12;
constexpr int kToolVersionMinor = 0;
constexpr int kToolVersionBuild = 111;
constexpr const wchar_t* kToolBuildFlavour = L"(Release, win32-x86)";
