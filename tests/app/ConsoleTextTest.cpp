#include "app/ConsoleText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

#include "common/ConsoleWrite.h"
#include "support/CapturedStream.h"

namespace {

TEST(FormatToBuffer, FormatsWideStringsAndNumbersAndZeroFillsTheRest) {
  wchar_t buffer[kTextBufferSize];
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  const int length = FormatToBuffer(buffer, L"v%d.%d %s|", 12, -1, L"x\u00e9");
  EXPECT_EQ(std::wstring(buffer), L"v12.-1 x\u00e9|");
  EXPECT_EQ(length, 10);
  EXPECT_EQ(buffer[kTextBufferSize / 2], L'\0');
}

TEST(FormatToBuffer, CutsALongTextAndStillEndsItInsideTheBuffer) {
  const std::wstring longText(3 * kTextBufferSize, L'a');
  wchar_t buffer[kTextBufferSize];
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  const int result = FormatToBuffer(buffer, L"%s", longText.c_str());
  EXPECT_LT(result, 0);
  EXPECT_EQ(std::wcslen(buffer), kTextBufferSize - 1);
  EXPECT_EQ(buffer[kTextBufferSize - 1], L'\0');
}

TEST(ExecutableFileName, TakesTheTextAfterTheLastBackslash) {
  EXPECT_STREQ(ExecutableFileName(L"C:\\Program Files\\Quorvin\\msitool.exe"), L"msitool.exe");
  EXPECT_STREQ(ExecutableFileName(L"\\\\server\\share\\msitool.exe"), L"msitool.exe");
  EXPECT_STREQ(ExecutableFileName(L"msitool.exe"), L"msitool.exe");
  EXPECT_STREQ(ExecutableFileName(L"C:\\dir\\"), L"");
  EXPECT_STREQ(ExecutableFileName(L""), L"");
}

TEST(WriteText, SendsUtf8ToEachRedirectedStreamSeparately) {
  std::string output;
  const std::string error = CaptureStandardStream(STD_ERROR_HANDLE, [&] {
    output = CaptureStandardStream(STD_OUTPUT_HANDLE, [] {
      WriteText(StandardStream::kOutput, L"caf\u00e9 \u20ac\n\U0001F4E6");
      WriteText(StandardStream::kError, L"oops\n");
    });
  });
  EXPECT_EQ(output, "caf\xc3\xa9 \xe2\x82\xac\n\xf0\x9f\x93\xa6");
  EXPECT_EQ(error, "oops\n");
}

// The one test that writes the flavour out; the others take the build's from its generated header.
TEST(PrintBanner, WritesTheBannerLineNamingTheArchitectureItWasCompiledFor) {
  const std::string bytes = CaptureStandardStream(STD_OUTPUT_HANDLE, [] { PrintBanner(); });
  const std::string flavour = sizeof(void*) == 8 ? "(Release, win64-x64)" : "(Release, win32-x86)";
  EXPECT_EQ(bytes, "\nQuorvin Msi Tool v12.0.111 " + flavour + "\n");
}

TEST(PrintUsage, NamesThisExecutable) {
  const std::string bytes = CaptureStandardStream(STD_OUTPUT_HANDLE, [] { PrintUsage(); });
  EXPECT_EQ(bytes.rfind("\nUsage: app_tests.exe [/?] [/hideoldaddremoves] [/u:UPGRADECODE]\n", 0),
            0u)
      << bytes;
  EXPECT_EQ(bytes.back(), '\n');
}

}  // namespace
