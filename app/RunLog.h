#pragma once

#include <string>
#include <string_view>

#include "common/LogFile.h"

// The log file of one run (/log:FILE): a header, the report lines, and the exit code, each a
// record of its own line with the local time and its offset from UTC. Each record is appended
// whole or not at all (see LogFile), so two runs that log to one file never mix within a line and a
// full volume never leaves half a record.
class RunLog {
 public:
  // Opens path as LogFile::Open does. False, with the system's error number and text or the
  // reason for the refusal in failure ("error 5, Access denied"), when it cannot be opened.
  [[nodiscard]] bool Open(const std::wstring& path, std::wstring& failure);

  // "msitool 12.0.111 started: user=DOMAIN\name computer=NAME command line: ..."
  void WriteHeader(std::wstring_view commandLine);

  // One record: the time stamp, a space, text. The first record that cannot be written says once,
  // on the standard error, that the log is incomplete; the run goes on.
  void WriteRecord(std::wstring_view text);

  // The installer's verbose log of one member's removal, beside the log file: x.log gives
  // x.{PRODUCT-CODE}.log.
  [[nodiscard]] std::wstring InstallerLogPath(std::wstring_view productCode) const;

 private:
  std::wstring path_;
  LogFile file_;
  bool incomplete_ = false;
};

// The time stamp of a record: local time to the millisecond and its offset from UTC, as in
// 2026-12-09T14:05:09.042+01:00.
std::wstring LocalTimeStamp();

