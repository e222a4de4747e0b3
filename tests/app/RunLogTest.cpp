#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Entry.h"
#include "app/ExitCodes.h"
#include "app/ExtendedCommandLine.h"
#include "app/RunLog.h"
#include "common/LogFile.h"
#include "common/UniqueHandle.h"
#include "support/CapturedStream.h"
#include "registry/PackedGuid.h"
#include "support/FakeInstaller.h"
#include "support/RunningInstallation.h"
#include "support/TemporaryFiles.h"
#include "support/TestRegistry.h"
#include "support/ToolTexts.h"

namespace {

const std::wstring kFamily = L"{00000000-0000-0000-0000-0000000000AA}";
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

ToolRun RunTool(std::vector<std::wstring> arguments, installer::Installer& installer,
                const wchar_t* program = L"C:\\tools\\msitool.exe") {
  std::vector<const wchar_t*> argv = {program};
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
  FakeInstaller installer_{{Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")}};
};

TEST_F(RunLogFile, HoldsTheHeaderEveryReportLineAndTheExitCodeEachTimeStamped) {
  const ToolRun run = RunTool({L"/uninstall", L"/log:" + log_, L"/u:" + kFamily}, installer_);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardError, "");
  // Without /report the lines go to the log only.
  EXPECT_EQ(run.standardOutput, kBanner);
  const std::string text = ReadFileBytes(log_);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 5u) << text;
  const std::string header = R"(msitool 12\.0\.111 started: user=\S+ computer=\S+ command line: )"
                             R"(C:\\tools\\msitool\.exe /uninstall "/log:.*deploy logs\\run\.log" )"
                             R"(/u:\{00000000-0000-0000-0000-0000000000AA\})";
  const std::string expected[] = {
      header,
      R"(\{A2000000-0000-4000-8000-000000000000\} 2\.0 removed log=.*deploy logs\\run\.\{A2000000-0000-4000-8000-000000000000\}\.log)",
      R"(\{A1000000-0000-4000-8000-000000000000\} 1\.0 removed log=.*deploy logs\\run\.\{A1000000-0000-4000-8000-000000000000\}\.log)",
      R"(summary: 2 members, 2 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0)",
      R"(exit code 0)",
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(kStamp + expected[i] + "\r"))) << lines[i];
  }
}

// The log of a run that stopped keeps what was done and ends with the exit code; no summary claims
// the action was done. Why it stopped is the standard error's line.
TEST_F(RunLogFile, OfAStoppedRunHoldsWhatWasDoneAndTheExitCodeButNoSummary) {
  StoppingInstaller installer(installer_.products);
  const ToolRun run = RunTool({L"/uninstall", L"/log:" + log_, L"/u:" + kFamily}, installer);
  EXPECT_EQ(run.exitCode, kExitInstallFailure);
  EXPECT_EQ(run.standardError, "The run stopped: out of memory.\n");
  const std::string text = ReadFileBytes(log_);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 3u) << text;
  const std::string expected[] = {
      R"(msitool .* started: .*)",
      R"(\{A2000000-0000-4000-8000-000000000000\} 2\.0 removed log=.*deploy logs\\run\.\{A2000000-0000-4000-8000-000000000000\}\.log)",
      R"(exit code 1603)",
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(kStamp + expected[i] + "\r"))) << lines[i];
  }
}

// When the installer's execution mutex cannot be opened, nothing tells whether another installation
// runs: the log says so once, with the reason, before the removals it concerns.
TEST_F(RunLogFile, SaysOnceWhyItCannotTellWhetherAnotherInstallationRuns) {
  const UniqueKernelHandle mutex = UnopenableExecutionMutex();
  ASSERT_TRUE(mutex);
  const ToolRun run = RunTool({L"/uninstall", L"/wait:60", L"/log:" + log_, L"/u:" + kFamily}, installer_);
  EXPECT_EQ(run.exitCode, 0);
  const std::string text = ReadFileBytes(log_);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 6u) << text;
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(kStamp + R"(cannot tell whether another installation runs )"
                                                             R"(\(the installer's execution mutex: error 5, [^()]+\); )"
                                                             R"(a removal the installer answers as busy is retried\r)")))
      << lines[1];
  EXPECT_NE(lines[2].find("{A2000000-0000-4000-8000-000000000000} 2.0 removed"), std::string::npos) << lines[2];
}

TEST_F(RunLogFile, NamesEachMembersInstallerLogBesideIt) {
  const ToolRun run = RunTool({L"/uninstall", L"/report", L"/log:" + log_, L"/u:" + kFamily}, installer_);
  const std::wstring installerLog = folder_.path() + L"deploy logs\\run.{A2000000-0000-4000-8000-000000000000}.log";
  EXPECT_NE(run.standardOutput.find("{A2000000-0000-4000-8000-000000000000} 2.0 removed log=" + Narrow(installerLog) + "\n"),
            std::string::npos)
      << run.standardOutput;
  EXPECT_NE(ReadFileBytes(log_).find("{A2000000-0000-4000-8000-000000000000} 2.0 removed log=" + Narrow(installerLog) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(ReadFileBytes(installerLog), "removing {A2000000-0000-4000-8000-000000000000}\r\n");
}

// Whoever starts the tool writes its command line, the program's name included.
TEST_F(RunLogFile, HeaderCannotStartARecordOfItsOwn) {
  const wchar_t* const program = L"C:\\x\n{A9000000-0000-4000-8000-000000000000} 9.9 removed\\m.exe";
  ASSERT_EQ(RunTool({L"/list", L"/log:" + log_, L"/u:" + kFamily}, installer_, program).exitCode, 0);
  const std::string text = ReadFileBytes(log_);
  EXPECT_NE(text.find("\"C:\\x\\u000A{A9000000-0000-4000-8000-000000000000} 9.9 removed\\m.exe\" /list"), std::string::npos) << text;
  EXPECT_EQ(text.find("\n{A9000000-0000-4000-8000-000000000000}"), std::string::npos) << text;
}

// The user's registration of upgrade codes, with a bad key name alone or a bad value name alone, or
// naming members the installer finds installed in no context: each note comes alone, and only then.
TEST_F(RunLogFile, NotesEachKindOfBadRegistrationOfFamiliesAndNothingElse) {
  const std::wstring codes = L"Software\\Microsoft\\Installer\\UpgradeCodes\\";
  const struct {
    std::wstring key;
    std::wstring value;
    int context;  // the members'; 0: installed in none
    std::vector<std::string> notes;
  } cases[] = {
      {L"NotAPackedGuid", L"", 4, {"skipped in the installer's UpgradeCodes registration, not packed GUIDs: 1 keys, 0 values"}},
      {*PackGuid(kFamily), L"not a code", 4,
       {"skipped in the installer's UpgradeCodes registration, not packed GUIDs: 0 keys, 1 values"}},
      {*PackGuid(kFamily), *PackGuid(kFamily), 0,
       {"left out: 2 registered members the installer finds installed in no context"}},
  };
  for (const auto& test : cases) {
    for (FakeProduct& member : installer_.products) member.context = test.context;
    ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, codes + test.key, test.value.c_str(), L""));
    EXPECT_EQ(RunTool({L"/families", L"/log:" + log_}, installer_).exitCode, 0);
    DeleteKeyTree(HKEY_CURRENT_USER, codes + test.key);
    const std::string text = ReadFileBytes(log_);
    std::vector<std::string> notes;
    for (const std::string& line : Lines(text)) {
      const std::size_t note = std::min(line.find("skipped in "), line.find("left out: "));
      if (note != std::string::npos) notes.push_back(line.substr(note, line.size() - note - 1));  // without the CR
    }
    EXPECT_EQ(notes, test.notes) << text;
    DeleteFileW(log_.c_str());
  }
}

// Each action reads its family past an entry the installer cannot give, and its log names that index.
TEST_F(RunLogFile, OfEveryActionNamesTheIndexesTheInstallerCouldNotGive) {
  installer_.products.push_back(Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0"));
  installer_.enumerationFailsAt = 2;  // the third member's entry answers ERROR_BAD_CONFIGURATION
  for (const wchar_t* action : {L"/list", L"/hideoldaddremoves", L"/showaddremoves", L"/uninstall"}) {
    EXPECT_EQ(RunTool({action, L"/log:" + log_, L"/u:" + kFamily}, installer_).exitCode, 0);
    const std::string text = ReadFileBytes(log_);
    EXPECT_NE(text.find("skipped index 2 of the installer's list of " + Narrow(kFamily) + "'s members: error 1610"),
              std::string::npos) << Narrow(action) << text;
    DeleteFileW(log_.c_str());
  }
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
  EXPECT_EQ(run.exitCode, kExitLogNotOpened);
  EXPECT_TRUE(installer_.calls.empty());
  const std::vector<std::string> lines = Lines(run.standardError);
  ASSERT_EQ(lines.size(), 1u) << run.standardError;
  EXPECT_EQ(lines[0].rfind("Cannot open the log file " + Narrow(folder_.path()) + "taken.log: error 5", 0), 0u)
      << lines[0];
}

TEST_F(RunLogFile, StartsOnALineOfItsOwnAfterALogThatEndsMidLine) {
  ASSERT_TRUE(CreateDirectoryW((folder_.path() + L"deploy logs").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(log_, "cut short"));
  ASSERT_EQ(RunTool({L"/list", L"/log:" + log_, L"/u:" + kFamily}, installer_).exitCode, 0);
  const std::vector<std::string> lines = Lines(ReadFileBytes(log_));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "cut short\r");
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(kStamp + "msitool .* started: .*\r"))) << lines[1];
}

// Only a line feed ends a line: after a lone CR a record is not glued on but gets its own line.
TEST(LogFileAppend, ARecordOnItsOwnLineGetsALineEndFirstUnlessTheFileEndsInOne) {
  const ScratchFolder folder;
  const std::pair<std::string, std::string> cases[] = {
      {"", "record\r\n"},
      {"a\n", "a\nrecord\r\n"},
      {"a\r\n", "a\r\nrecord\r\n"},
      {"a\r", "a\r\r\nrecord\r\n"},
      {"a", "a\r\nrecord\r\n"},
  };
  int name = 0;
  for (const auto& [before, after] : cases) {
    const std::wstring path = folder.path() + std::to_wstring(++name) + L".log";
    ASSERT_TRUE(WriteFileBytes(path, before));
    {
      LogFile log;
      std::wstring failure;
      ASSERT_TRUE(log.Open(path, failure)) << Narrow(failure);
      EXPECT_TRUE(log.Append("record\r\n", /*onOwnLine=*/true, failure)) << Narrow(failure);
    }
    EXPECT_EQ(ReadFileBytes(path), after) << testing::PrintToString(before);
  }
}

// Runs as SYSTEM append to these files, in folders ordinary users may write to: a planted link
// must never turn those writes against another file.
TEST_F(RunLogFile, ThatIsALinkOrNoPlainFileIsRefusedAndNothingIsDone) {
  const std::wstring protectedFile = folder_.path() + L"protected.txt";
  ASSERT_TRUE(WriteFileBytes(protectedFile, "protected"));
  const std::wstring link = folder_.path() + L"link.log";
  ASSERT_TRUE(CreateHardLinkW(link.c_str(), protectedFile.c_str(), nullptr));
  const std::pair<std::wstring, std::string> cases[] = {
      {link, "refused: a hard link (the file has 2 names)"},
      {L"\\\\.\\NUL", "refused: not a plain file"},
  };
  for (const auto& [path, reason] : cases) {
    const ToolRun run = RunTool({L"/uninstall", L"/log:" + path, L"/u:" + kFamily}, installer_);
    EXPECT_EQ(run.exitCode, kExitLogNotOpened);
    EXPECT_EQ(run.standardError, "Cannot open the log file " + Narrow(path) + ": " + reason + "\n");
  }
  EXPECT_TRUE(installer_.calls.empty());
  EXPECT_EQ(ReadFileBytes(protectedFile), "protected");
}

// Wine 8 gives no handle that reports a link (CreateSymbolicLinkW makes nothing, a junction's
// FSCTL_SET_REPARSE_POINT answers 50, a Unix link is followed), so the rule is checked on what an
// opened handle reports; a real link is refused on Windows only.
TEST(LogFileRefusal, RefusesALinkAFolderAndASecondNameAndNothingElse) {
  const struct {
    unsigned long attributes;
    unsigned long names;
    std::string reason;
  } cases[] = {
      {FILE_ATTRIBUTE_ARCHIVE, 1, ""},
      {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_COMPRESSED, 1, ""},
      {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, 1, "refused: a link (reparse point)"},
      {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 1, "refused: a link (reparse point)"},
      {FILE_ATTRIBUTE_DIRECTORY, 1, "refused: not a plain file"},
      {FILE_ATTRIBUTE_ARCHIVE, 2, "refused: a hard link (the file has 2 names)"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(Narrow(LogFileRefusal(test.attributes, test.names)), test.reason)
        << std::hex << test.attributes << " " << test.names;
  }
}

TEST_F(RunLogFile, ThatCannotBeOpenedLeavesNoFolderItMadeForIt) {
  // A name that ends in a separator is a folder: the folders are made, then the file fails.
  const ToolRun run =
      RunTool({L"/list", L"/log:" + folder_.path() + L"new\\deeper/", L"/u:" + kFamily}, installer_);
  EXPECT_EQ(run.exitCode, kExitLogNotOpened);
  EXPECT_FALSE(FileExists(folder_.path() + L"new"));
}

TEST_F(RunLogFile, AcceptsForwardSlashesAndMakesTheirFolders) {
  const std::wstring log = folder_.path() + L"a.b/c/run";
  const ToolRun run = RunTool({L"/uninstall", L"/report", L"/log:" + log, L"/u:" + kFamily}, installer_);
  EXPECT_EQ(run.exitCode, 0) << run.standardError;
  EXPECT_NE(ReadFileBytes(folder_.path() + L"a.b\\c\\run").find(" started: "), std::string::npos);
  EXPECT_EQ(ReadFileBytes(folder_.path() + L"a.b\\c\\run.{A2000000-0000-4000-8000-000000000000}.log"), "removing {A2000000-0000-4000-8000-000000000000}\r\n");
}

// Another writer holds the turn: a record waits for it, then goes out whole.
TEST_F(RunLogFile, AWriterWaitsForTheTurnOfAnother) {
  ASSERT_TRUE(CreateDirectoryW((folder_.path() + L"deploy logs").c_str(), nullptr));
  UniqueFile other(CreateFileW(log_.c_str(), FILE_READ_DATA | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other);
  OVERLAPPED turn = {};
  turn.Offset = LogFile::kTurnOffsetLow;
  turn.OffsetHigh = LogFile::kTurnOffsetHigh;
  ASSERT_TRUE(LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, LogFile::kTurnLength, 0, &turn));
  {
    RunLog log;
    std::wstring failure;
    ASSERT_TRUE(log.Open(log_, failure)) << Narrow(failure);
    std::thread writer([&] { log.WriteRecord(L"waited"); });
    Sleep(300);
    LARGE_INTEGER size = {};
    EXPECT_TRUE(GetFileSizeEx(other.get(), &size));
    EXPECT_EQ(size.QuadPart, 0);
    ASSERT_TRUE(UnlockFileEx(other.get(), 0, LogFile::kTurnLength, 0, &turn));
    writer.join();
  }
  other.reset();
  EXPECT_TRUE(std::regex_match(ReadFileBytes(log_), std::regex(kStamp + "waited\r\n")));
}

// A small volume that only root can mount (tests/full-volume.sh), seen through Wine's Z: drive.
std::wstring FullVolume() {
  wchar_t folder[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"MSITOOL_TEST_FULL_VOLUME", folder, MAX_PATH) == 0) return {};
  std::wstring path = L"Z:" + std::wstring(folder) + L"\\";
  std::replace(path.begin(), path.end(), L'/', L'\\');
  ULARGE_INTEGER total = {};
  return GetDiskFreeSpaceExW(path.c_str(), nullptr, &total, nullptr) && total.QuadPart < (1u << 20) ? path : L"";
}

TEST(RunLogFullVolume, ARecordThatDoesNotFitIsCutOffSaidOnceAndTheConsoleKeepsTheReport) {
  const std::wstring volume = FullVolume();
  if (volume.empty()) GTEST_SKIP() << "no small volume: mounting one (tests/full-volume.sh) takes root";
  const std::wstring log = volume + L"run.log";
  // Twenty bytes are left in the log's last page of memory, and the filler takes every other page.
  const std::string before(4096 - 20, 'x');
  ASSERT_TRUE(WriteFileBytes(log, before));
  const std::wstring filler = volume + L"filler";
  {
    const UniqueFile file(CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::string page(4096, 'f');
    DWORD written = 0;
    while (WriteFile(file.get(), page.data(), 4096, &written, nullptr) && written == 4096) {}
  }
  FakeInstaller installer({Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")});
  const ToolRun full = RunTool({L"/uninstall", L"/report", L"/log:" + log, L"/u:" + kFamily}, installer);
  DeleteFileW(filler.c_str());
  EXPECT_EQ(full.exitCode, 0);
  EXPECT_EQ(full.standardError.rfind("The log file " + Narrow(log) + " is incomplete: a record could not be written (error ", 0), 0u)
      << full.standardError;
  EXPECT_EQ(Lines(full.standardError).size(), 1u);
  EXPECT_NE(full.standardOutput.find("summary: 2 members, 2 removed"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(log), before);
  // With room again, the next run's records start on a line of their own.
  ASSERT_EQ(RunTool({L"/list", L"/log:" + log, L"/u:" + kFamily}, installer).exitCode, 0);
  const std::vector<std::string> lines = Lines(ReadFileBytes(log));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], before + "\r");
  DeleteFileW(log.c_str());
}

TEST(RunLogNames, InstallerLogTakesTheLogsNameAndTheProductCode) {
  ScratchFolder folder;
  const struct {
    std::wstring log;
    std::wstring installerLog;
  } cases[] = {
      {L"run.log", L"run.{A1000000-0000-4000-8000-000000000000}.log"},
      {L"run", L"run.{A1000000-0000-4000-8000-000000000000}.log"},
      {L"a.b\\run", L"a.b\\run.{A1000000-0000-4000-8000-000000000000}.log"},
      {L"run.old.txt", L"run.old.{A1000000-0000-4000-8000-000000000000}.log"},
      {L"a.b/run", L"a.b/run.{A1000000-0000-4000-8000-000000000000}.log"},
      {L".log", L".log.{A1000000-0000-4000-8000-000000000000}.log"},  // a name that starts with its only dot has no extension
  };
  for (const auto& entry : cases) {
    RunLog log;
    std::wstring failure;
    ASSERT_TRUE(log.Open(folder.path() + entry.log, failure)) << Narrow(entry.log) << Narrow(failure);
    EXPECT_EQ(log.InstallerLogPath(L"{A1000000-0000-4000-8000-000000000000}"), folder.path() + entry.installerLog);
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
