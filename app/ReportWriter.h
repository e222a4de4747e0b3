#pragma once

#include <string_view>

// Where the extended command line's report lines go: the standard output, one record per line.
// Every report line of a run passes through one writer, so that a further destination (a log
// file) joins in one place.
class ReportWriter {
 public:
  virtual ~ReportWriter() = default;

  // Writes line and a line feed. A failed write is ignored; the exit code never depends on it.
  virtual void WriteLine(std::wstring_view line);
};
