#include "endtoend/Tool.h"

#include <gtest/gtest.h>

#include "endtoend/ToolTexts.h"

namespace {

constexpr DWORD kNotStarted = 0xFFFFFFFF;
constexpr DWORD kPathCapacity = 32768;

}  // namespace

std::wstring ProgramFolder() {
  std::wstring path(kPathCapacity, L'\0');
  const DWORD length = GetModuleFileNameW(/*hModule=*/nullptr, path.data(), kPathCapacity);
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

ProcessOutput RunTool(const std::wstring& arguments, HANDLE primaryToken) {
  std::wstring commandLine = L"\"" + ProgramFolder() + L"msitool.exe\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  ProcessOutput output;
  if (!RunProcess(commandLine, primaryToken, output)) {
    ADD_FAILURE() << "msitool.exe did not start, error " << GetLastError();
    output.exitCode = kNotStarted;
  }
  return output;
}

void ExpectQuietSuccess(const ProcessOutput& output) {
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner, output.standardOutput);
  EXPECT_EQ("", output.standardError);
}
