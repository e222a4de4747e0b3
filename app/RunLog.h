#pragma once

#include <string>
#include <string_view>

#include "common/UniqueHandle.h"

// The log file of one run (/log:FILE): a header, the report lines, and the exit code, each a
// record of its own with the local time and its offset from UTC. The file is opened for appending
// and shared for reading and appending, and every record goes out in one write, so two runs that
// log to one file never mix within a line.
class RunLog {
 public:
  // Opens path for appending, creating it and its missing folders. False, with the system's error
  // number and text in failure ("error 5, Access denied"), when it cannot be opened.
  [[nodiscard]] bool Open(const std::wstring& path, std::wstring& failure);

  // "msitool 12.0.111 started: user=DOMAIN\name computer=NAME command line: ..."
  void WriteHeader(std::wstring_view commandLine);

  // One record: the time stamp, a space, text.
  void WriteRecord(std::wstring_view text);

  // The installer's verbose log of one member's removal, beside the log file: x.log gives
  // x.{PRODUCT-CODE}.log.
  [[nodiscard]] std::wstring InstallerLogPath(std::wstring_view productCode) const;

 private:
  std::wstring path_;
  UniqueFile file_;
};

// The time stamp of a record: local time to the millisecond and its offset from UTC, as in
// 2026-12-09T14:05:09.042+01:00.
std::wstring LocalTimeStamp();

// The argument vector, the program included, as one line; an argument with a space or a quote, or
// an empty one, in double quotes.
std::wstring JoinArguments(int argumentCount, const wchar_t* const* arguments);
