#pragma once

#include <string>
#include <string_view>

#include "common/UniqueHandle.h"

// A log file that the tool appends to, whole records at a time. The tool may run as SYSTEM and log
// into a folder that ordinary users can write to, so a log is never written through a link: a
// planted hard link or reparse point would turn the tool's writes against a file of the attacker's
// choosing.
class LogFile {
 public:
  // The byte that writers of one log take turns on (other runs of the tool among them): far past
  // any end of file, so that no write ever touches it.
  static constexpr unsigned long kTurnOffsetLow = 0xFFFFFFFE;
  static constexpr unsigned long kTurnOffsetHigh = 0xFFFFFFFF;
  static constexpr unsigned long kTurnLength = 1;

  // Opens path (either separator) for appending, creating it and the folders missing on its way;
  // the folders get LogFolderSecurity. The file is opened without following a reparse point and
  // refused when the opened file is a reparse point, not a plain file on a disk, or has more than
  // one name. False, with failure set ("error 5, Access denied", "refused: ..."), when it cannot be
  // opened or is refused; the folders this call created are removed again then.
  [[nodiscard]] bool Open(const std::wstring& path, std::wstring& failure);

  // Appends bytes at the end of the file, whole or not at all: a write that fails part way (a full
  // volume) is cut off again. Writers take turns, so what each appends stays together. With
  // onOwnLine, a file that does not end in a line end gets one first. False, with the system's
  // error text in failure, when the bytes could not be appended.
  [[nodiscard]] bool Append(std::string_view bytes, bool onOwnLine, std::wstring& failure);

  bool IsOpen() const noexcept { return static_cast<bool>(file_); }

  // The access list of the folders Open creates: LogFolderSecurity. Empty when the system cannot
  // build it.
  [[nodiscard]] static UniqueSecurityDescriptor FolderSecurity();

 private:
  UniqueFile file_;
};

// Why a file whose handle reports these attributes (FILE_ATTRIBUTE_...) and this many names must
// not be appended to: "refused: a link (reparse point)", "refused: not a plain file" (a folder) or
// "refused: a hard link (the file has 2 names)"; empty for a plain file with one name.
[[nodiscard]] std::wstring LogFileRefusal(unsigned long attributes, unsigned long names);

// The position of path's last separator, \ or /; npos when it has none.
[[nodiscard]] std::size_t LastPathSeparator(std::wstring_view path) noexcept;
