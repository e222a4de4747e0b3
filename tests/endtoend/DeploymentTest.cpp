#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "endtoend/EndToEnd.h"
#include "support/RunningInstallation.h"
#include "support/TemporaryFiles.h"

namespace {

const std::string kStamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d )";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A log record: the time stamp, then text, then the carriage return of the line end.
void ExpectRecord(const std::string& record, const std::string& text) {
  const std::size_t stampLength = std::string("2026-12-09T14:05:09.042+01:00 ").size();
  EXPECT_TRUE(std::regex_match(record.substr(0, stampLength), std::regex(kStamp))) << record;
  EXPECT_EQ(record.substr(std::min(stampLength, record.size())), text + "\r");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::wstring UninstallSample(const std::wstring& switches) {
  return L"/uninstall " + switches + L" /u:" + kSampleUpgradeCode;
}

// The x64 2.0.0 member and the x86 1.0.0 one, and a product of another family.
class DeploymentTest : public InstalledProductsTest {
 protected:
  DeploymentTest() : InstalledProductsTest({kSample2, kSample1, kOther}) {}
};

TEST_F(DeploymentTest, LogHoldsTheRunAndNamesTheInstallersLogOfEachRemoval) {
  ScratchFolder folder;
  const std::wstring log = folder.path() + L"Logs\\Software\\msitool.log";
  const ProcessOutput output = RunTool(UninstallSample(L"\"/log:" + log + L"\""));
  ExpectQuietSuccess(output);
  ExpectRemoved(kSample2);
  ExpectRemoved(kSample1);
  ExpectUntouched(kOther);
  const std::vector<std::string> lines = Lines(ReadFileBytes(log));
  ASSERT_EQ(lines.size(), 5u) << ReadFileBytes(log);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + "msitool 12\\.0\\.111 started: .*\r")))
      << lines[0];
  const TestPackage* removalOrder[] = {&kSample2, &kSample1};
  for (int i = 0; i < 2; ++i) {
    const TestPackage& package = *removalOrder[i];
    const std::wstring installerLog =
        folder.path() + L"Logs\\Software\\msitool." + package.productCode + L".log";
    ExpectRecord(lines[1 + i], Narrow(package.productCode) + " " + Narrow(package.version) +
                                   " removed log=" + Narrow(installerLog));
    // The installer's own verbose log of that removal.
    EXPECT_NE(ReadFileBytes(installerLog).find("=== Logging started"), std::string::npos)
        << Narrow(installerLog);
  }
  ExpectRecord(lines[3], "summary: 2 members, 2 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0");
  ExpectRecord(lines[4], "exit code 0");
}

TEST_F(DeploymentTest, LogThatCannotBeOpenedEndsWith110AndTouchesNothing) {
  ScratchFolder folder;
  const std::wstring log = folder.path() + L"taken";
  ASSERT_TRUE(CreateDirectoryW(log.c_str(), nullptr));
  const ProcessOutput output = RunTool(UninstallSample(L"\"/log:" + log + L"\""));
  EXPECT_EQ(output.exitCode, 110u);
  EXPECT_EQ(output.standardOutput, kBanner);
  EXPECT_EQ(output.standardError.rfind("Cannot open the log file " + Narrow(log) + ": error 5", 0), 0u)
      << output.standardError;
  EXPECT_EQ(Lines(output.standardError).size(), 1u);
  ExpectUntouched(kSample2);
  ExpectUntouched(kSample1);
}

TEST_F(DeploymentTest, RemovalWaitsWhileAnotherInstallationRunsThenGoesOn) {
  RunningInstallation installation;
  bool installedWhileHeld = false;
  // Long enough that a removal which did not wait would be over; then the other installation ends.
  std::thread otherInstallation([&] {
    Sleep(4000);
    installedWhileHeld = KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(kSample1.productCode), View::k32);
    installation.End();
  });
  const ProcessOutput output = RunTool(UninstallSample(L"/wait:600 /report"));
  otherInstallation.join();
  EXPECT_TRUE(installedWhileHeld);
  EXPECT_EQ(output.exitCode, kSuccess);
  EXPECT_NE(output.standardOutput.find("summary: 2 members, 2 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0\n"),
            std::string::npos)
      << output.standardOutput;
  ExpectRemoved(kSample2);
  ExpectRemoved(kSample1);
  ExpectUntouched(kOther);
}

TEST_F(DeploymentTest, AtTheDeadlineEveryMemberIsBlockedAndTheFamilyUntouched) {
  RunningInstallation installation;
  // The other installation outlasts the run by far: the tool must give up at its own deadline.
  const UniqueKernelHandle runEnded(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  bool endedWhileHeld = false;
  std::thread otherInstallation([&] {
    endedWhileHeld = WaitForSingleObject(runEnded.get(), 120'000) == WAIT_OBJECT_0;
    installation.End();
  });
  const ProcessOutput output = RunTool(UninstallSample(L"/wait:2 /report"));
  SetEvent(runEnded.get());
  otherInstallation.join();
  EXPECT_TRUE(endedWhileHeld);
  EXPECT_EQ(output.exitCode, kInstallerBusy);
  const std::string expected = kBanner + Narrow(kSample2.productCode) + " 2.0.0 blocked\n" +
                               Narrow(kSample1.productCode) + " 1.0.0 blocked\n" +
                               "summary: 2 members, 0 removed, 0 restart-needed, 0 kept, 0 failed, "
                               "2 blocked; exit code 1618\n";
  EXPECT_EQ(output.standardOutput, expected);
  EXPECT_EQ(output.standardError, "");
  ExpectUntouched(kSample2);
  ExpectUntouched(kSample1);
  ExpectUntouched(kOther);
}

}  // namespace
