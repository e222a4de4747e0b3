// Checks the resources of the built msitool.exe; CheckImage.cmake checks its headers, imports and size.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/UniqueHandle.h"
#include "support/ProcessRunner.h"

namespace {

constexpr WORD kIconGroupId = 101;
constexpr WORD kIconBitsPerPixel = 32;
constexpr DWORD kIconFormatVersion = 0x00030000;  // what CreateIconFromResourceEx expects
constexpr WORD kUsEnglish = 0x409;
constexpr WORD kWesternEuropeanCodePage = 1252;

// The layout of an RT_GROUP_ICON resource, which <windows.h> does not declare.
#pragma pack(push, 2)
struct IconGroupHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
struct IconGroupEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytesInResource;
  WORD id;
};
#pragma pack(pop)

using Bytes = std::vector<char>;

// Copies a T from offset; false, with value untouched, when the bytes end before it does.
template <typename T>
bool ReadAt(const Bytes& bytes, std::size_t offset, T& value) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
    return false;
  }
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return true;
}

std::wstring VersionText(DWORD mostSignificant, DWORD leastSignificant) {
  return std::to_wstring(HIWORD(mostSignificant)) + L'.' + std::to_wstring(LOWORD(mostSignificant)) + L'.' +
         std::to_wstring(HIWORD(leastSignificant)) + L'.' + std::to_wstring(LOWORD(leastSignificant));
}

class ExecutableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_.reset(LoadLibraryExW(path_.c_str(), /*file=*/nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const DWORD error = GetLastError();
    ASSERT_TRUE(module_) << "cannot load " << path_ << ", error " << error;

    const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), /*handle=*/nullptr);
    versionBlock_.resize(size);
    if (size == 0 || !GetFileVersionInfoW(path_.c_str(), /*handle=*/0, size, versionBlock_.data())) {
      versionBlock_.clear();
    }
  }

  // A copy of one resource of the tool; empty when it has none of that id and type.
  Bytes Resource(const wchar_t* id, const wchar_t* type) const {
    HRSRC found = FindResourceW(module_.get(), id, type);
    HGLOBAL loaded = found != nullptr ? LoadResource(module_.get(), found) : nullptr;
    const char* data = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data != nullptr ? Bytes(data, data + SizeofResource(module_.get(), found)) : Bytes();
  }

  // One value of the version block, found by its VerQueryValueW path; nullptr when there is none.
  const void* VersionValue(const std::wstring& name, UINT& length) const {
    void* value = nullptr;
    if (versionBlock_.empty() || !VerQueryValueW(versionBlock_.data(), name.c_str(), &value, &length)) {
      return nullptr;
    }
    return value;
  }

  const std::wstring path_ = ProgramFolder() + L"msitool.exe";
  UniqueModule module_;
  Bytes versionBlock_;  // as GetFileVersionInfoW gives it; empty when the file has none
};

TEST_F(ExecutableTest, VersionBlockIs12_0_111_0OfAWindowsApplicationInUsEnglish) {
  UINT length = 0;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(VersionValue(L"\\", length));
  ASSERT_NE(nullptr, info);
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(L"12.0.111.0", VersionText(info->dwFileVersionMS, info->dwFileVersionLS));
  EXPECT_EQ(L"12.0.111.0", VersionText(info->dwProductVersionMS, info->dwProductVersionLS));
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), info->dwFileType);
  EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), info->dwFileOS);
  const auto* translation = static_cast<const WORD*>(VersionValue(L"\\VarFileInfo\\Translation", length));
  ASSERT_NE(nullptr, translation);
  ASSERT_EQ(2 * sizeof(WORD), length);
  EXPECT_EQ(kUsEnglish, translation[0]);
  EXPECT_EQ(kWesternEuropeanCodePage, translation[1]);
}

TEST_F(ExecutableTest, StringTableHoldsTheTextsWithTheirBlanks) {
  const std::pair<const wchar_t*, std::wstring> texts[] = {
      {L"FileVersion", L"12.00 Build 111 "},  {L"ProductVersion", L"  12.00 Build 111 "},
      {L"CompanyName", L"Quorvin"},           {L"FileDescription", L"Quorvin Msi Tool"},
      {L"InternalName", L"msitool"},          {L"OriginalFilename", L"msitool.exe"},
      {L"LegalCopyright", L"Copyright (C) Quorvin"}, {L"ProductName", L"Quorvin Msi Tool"},
  };
  for (const auto& [name, expected] : texts) {
    UINT length = 0;
    const auto* value =
        static_cast<const wchar_t*>(VersionValue(std::wstring(L"\\StringFileInfo\\040904E4\\") + name, length));
    EXPECT_EQ(expected, value != nullptr ? value : L"<none>") << name;
  }
}

// A manifest that names another architecture than its image's stops the program from starting
// (a side-by-side configuration error).
TEST_F(ExecutableTest, ManifestNamesTheArchitectureOfItsImage) {
  DWORD binaryType = 0;
  ASSERT_TRUE(GetBinaryTypeW(path_.c_str(), &binaryType));
  const Bytes manifest = Resource(CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  const std::string text(manifest.begin(), manifest.end());
  const std::string architecture = binaryType == SCS_64BIT_BINARY ? "amd64" : "x86";
  EXPECT_NE(std::string::npos, text.find("processorArchitecture=\"" + architecture + "\"")) << text;
}

// A supportedOS entry for Windows 8.1 or later would change what GetVersionExW reports.
TEST_F(ExecutableTest, ManifestRequiresAdministratorWithoutUiAccessAndDeclaresNoSupportedOs) {
  const Bytes manifest = Resource(CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(std::string::npos, text.find("level=\"requireAdministrator\"")) << text;
  EXPECT_NE(std::string::npos, text.find("uiAccess=\"false\"")) << text;
  EXPECT_EQ(std::string::npos, text.find("<supportedOS")) << text;
}

TEST_F(ExecutableTest, IconGroup101HoldsFourSizesAt32BitsPerPixelThatWindowsCanDraw) {
  const Bytes group = Resource(MAKEINTRESOURCEW(kIconGroupId), RT_GROUP_ICON);
  IconGroupHeader header{};
  ASSERT_TRUE(ReadAt(group, 0, header));
  std::vector<int> sizes;
  for (WORD i = 0; i < header.count; ++i) {
    IconGroupEntry entry{};
    ASSERT_TRUE(ReadAt(group, sizeof(header) + i * sizeof(entry), entry));
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(kIconBitsPerPixel, entry.bitCount) << int{entry.width} << " px";
    sizes.push_back(entry.width);
    Bytes image = Resource(MAKEINTRESOURCEW(entry.id), RT_ICON);
    BITMAPINFOHEADER bitmap{};
    ASSERT_TRUE(ReadAt(image, 0, bitmap)) << "no icon " << entry.id;
    EXPECT_EQ(entry.bytesInResource, image.size());
    EXPECT_EQ(entry.width, bitmap.biWidth);
    // An icon's bitmap counts the colour image and the mask in its height.
    EXPECT_EQ(2 * entry.height, bitmap.biHeight);
    EXPECT_EQ(kIconBitsPerPixel, bitmap.biBitCount);
    const UniqueIcon icon(CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()),
                                                   static_cast<DWORD>(image.size()), /*icon=*/TRUE, kIconFormatVersion,
                                                   entry.width, entry.height, LR_DEFAULTCOLOR));
    EXPECT_TRUE(icon) << "Windows cannot make an icon of the " << int{entry.width} << " px image";
  }
  std::sort(sizes.begin(), sizes.end(), std::greater<int>());
  EXPECT_EQ((std::vector<int>{48, 32, 24, 16}), sizes);
}

}  // namespace
