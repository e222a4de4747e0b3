#include "app/ReportWriter.h"

#include <string>

#include "app/RunLog.h"
#include "common/ConsoleWrite.h"

void ReportWriter::WriteLine(std::wstring_view line) {
  if (console_) {
    std::wstring record(line);
    record += L'\n';
    // One write per record, so a reader of a redirected stream never sees half a line.
    WriteText(StandardStream::kOutput, record);
  }
  if (log_ != nullptr) {
    log_->WriteRecord(line);
  }
}
