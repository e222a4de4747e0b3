#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Entry.h"
#include "app/RunLog.h"
#include "support/CapturedStream.h"
#include "support/FakeInstaller.h"
#include "support/TemporaryFiles.h"

namespace {

const std::wstring kFamily = L"{00000000-0000-0000-0000-0000000000AA}";
constexpr int kLogNotOpened = 110;  // ERROR_OPEN_FAILED
// 2026-12-09T14:05:09.042+01:00, then a space.
const std::string kStamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d )";

FakeProduct Member(const wchar_t* code, const wchar_t* version) {
  FakeProduct product;
  product.productCode = code;
  product.version = version;
  return product;
}

struct ToolRun {
  int exitCode = -1;
  std::string standardOutput;
  std::string standardError;
};

ToolRun RunTool(std::vector<std::wstring> arguments, installer::Installer& installer) {
  std::vector<const wchar_t*> argv = {L"C:\\tools\\msitool.exe"};
  for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
  ToolRun run;
  run.standardOutput = CaptureStandardStream(STD_OUTPUT_HANDLE, [&] {
    run.standardError = CaptureStandardStream(STD_ERROR_HANDLE, [&] {
      run.exitCode = RunToolCommandLine(static_cast<int>(argv.size()), argv.data(), installer);
    });
  });
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class RunLogFile : public testing::Test {
 protected:
  ScratchFolder folder_;
  // In a folder that does not exist yet, with a space in its name.
  const std::wstring log_ = folder_.path() + L"deploy logs\\run.log";
  FakeInstaller installer_{{Member(L"{A1}", L"1.0"), Member(L"{A2}", L"2.0")}};
};

TEST_F(RunLogFile, HoldsTheHeaderEveryReportLineAndTheExitCodeEachTimeStamped) {
  const ToolRun run = RunTool({L"/uninstall", L"/log:" + log_, L"/u:" + kFamily}, installer_);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardError, "");
  // Without /report the lines go to the log only.
  EXPECT_EQ(run.standardOutput, "\nQuorvin Msi Tool v12.0.111 (Release, win32-x86)\n");
  const std::string text = ReadFileBytes(log_);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 5u) << text;
  const std::string header = R"(msitool 12\.0\.111 started: user=\S+ computer=\S+ command line: )"
                             R"(C:\\tools\\msitool\.exe /uninstall "/log:.*deploy logs\\run\.log" )"
                             R"(/u:\{00000000-0000-0000-0000-0000000000AA\})";
  const std::string expected[] = {
      header,
      R"(\{A2\} 2\.0 removed log=.*deploy logs\\run\.\{A2\}\.log)",
      R"(\{A1\} 1\.0 removed log=.*deploy logs\\run\.\{A1\}\.log)",
      R"(summary: 2 members, 2 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0)",
      R"(exit code 0)",
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(kStamp + expected[i] + "\r"))) << lines[i];
  }
}

TEST_F(RunLogFile, NamesEachMembersInstallerLogBesideIt) {
  const ToolRun run = RunTool({L"/uninstall", L"/report", L"/log:" + log_, L"/u:" + kFamily}, installer_);
  const std::wstring installerLog = folder_.path() + L"deploy logs\\run.{A2}.log";
  EXPECT_NE(run.standardOutput.find("{A2} 2.0 removed log=" + Narrow(installerLog) + "\n"),
            std::string::npos)
      << run.standardOutput;
  EXPECT_NE(ReadFileBytes(log_).find("{A2} 2.0 removed log=" + Narrow(installerLog) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(installer_.CallCount(L"EnableLog " + installerLog), 1);
}

TEST_F(RunLogFile, IsAppendedToByLaterRuns) {
  ASSERT_EQ(RunTool({L"/list", L"/log:" + log_, L"/u:" + kFamily}, installer_).exitCode, 0);
  ASSERT_EQ(RunTool({L"/list", L"/log:" + log_, L"/u:" + kFamily}, installer_).exitCode, 0);
  const std::string text = ReadFileBytes(log_);
  std::size_t headers = 0;
  for (const std::string& line : Lines(text)) headers += line.find(" started: ") != std::string::npos;
  EXPECT_EQ(headers, 2u) << text;
}

TEST_F(RunLogFile, ThatCannotBeOpenedStopsTheRunBeforeAnythingIsDone) {
  // A folder where the file should be.
  ASSERT_TRUE(CreateDirectoryW((folder_.path() + L"taken.log").c_str(), nullptr));
  const ToolRun run =
      RunTool({L"/uninstall", L"/log:" + folder_.path() + L"taken.log", L"/u:" + kFamily}, installer_);
  EXPECT_EQ(run.exitCode, kLogNotOpened);
  EXPECT_TRUE(installer_.calls.empty());
  const std::vector<std::string> lines = Lines(run.standardError);
  ASSERT_EQ(lines.size(), 1u) << run.standardError;
  EXPECT_EQ(lines[0].rfind("Cannot open the log file " + Narrow(folder_.path()) + "taken.log: error 5", 0), 0u)
      << lines[0];
}

TEST_F(RunLogFile, TwoWritersAtOnceNeverMixWithinARecord) {
  constexpr int kRecords = 400;
  {
    RunLog first;
    RunLog second;
    std::wstring failure;
    ASSERT_TRUE(first.Open(log_, failure)) << Narrow(failure);
    ASSERT_TRUE(second.Open(log_, failure)) << Narrow(failure);
    const std::wstring long1(300, L'a'), long2(300, L'b');
    std::thread writer([&] {
      for (int i = 0; i < kRecords; ++i) first.WriteRecord(long1);
    });
    for (int i = 0; i < kRecords; ++i) second.WriteRecord(long2);
    writer.join();
  }
  const std::vector<std::string> lines = Lines(ReadFileBytes(log_));
  ASSERT_EQ(lines.size(), 2u * kRecords);
  const std::regex record(kStamp + "(a{300}|b{300})\r");
  for (const std::string& line : lines) {
    ASSERT_TRUE(std::regex_match(line, record)) << line;
  }
}

TEST(RunLogNames, InstallerLogTakesTheLogsNameAndTheProductCode) {
  ScratchFolder folder;
  const struct {
    std::wstring log;
    std::wstring installerLog;
  } cases[] = {
      {L"run.log", L"run.{A1}.log"},
      {L"run", L"run.{A1}.log"},
      {L"a.b\\run", L"a.b\\run.{A1}.log"},
      {L"run.old.txt", L"run.old.{A1}.log"},
  };
  for (const auto& entry : cases) {
    RunLog log;
    std::wstring failure;
    ASSERT_TRUE(log.Open(folder.path() + entry.log, failure)) << Narrow(entry.log);
    EXPECT_EQ(log.InstallerLogPath(L"{A1}"), folder.path() + entry.installerLog);
  }
}

TEST(RunLogNames, CommandLineQuotesWhatWouldOtherwiseSplit) {
  const wchar_t* arguments[] = {L"C:\\Program Files\\msitool.exe", L"/list", L"", L"/log:a b", L"x\"y"};
  EXPECT_EQ(JoinArguments(5, arguments),
            L"\"C:\\Program Files\\msitool.exe\" /list \"\" \"/log:a b\" \"x\"y\"");
}

TEST(RunLogNames, TimeStampIsLocalTimeWithItsOffsetFromUtc) {
  TIME_ZONE_INFORMATION zone;
  const DWORD kind = GetTimeZoneInformation(&zone);
  long bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  const long offset = -bias;
  char expected[8];
  std::snprintf(expected, sizeof expected, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                (offset < 0 ? -offset : offset) / 60, (offset < 0 ? -offset : offset) % 60);
  const std::string stamp = Narrow(LocalTimeStamp());
  EXPECT_TRUE(std::regex_match(stamp + " ", std::regex(kStamp))) << stamp;
  EXPECT_EQ(stamp.substr(stamp.size() - 6), expected);
}

}  // namespace
