#pragma once

#include <string_view>

class RunLog;

// Where the extended command line's report lines go, one record per line: the standard output
// when they are shown there (/report, and /list always), and the run's log file when there is one.
// Every report line of a run passes through one writer.
class ReportWriter {
 public:
  virtual ~ReportWriter() = default;

  void ShowOnConsole(bool show) noexcept { console_ = show; }
  void AttachLog(RunLog* log) noexcept { log_ = log; }

  // Writes line to each destination. A failed write is ignored; the exit code never depends on it.
  virtual void WriteLine(std::wstring_view line);

 private:
  bool console_ = true;
  RunLog* log_ = nullptr;
};
