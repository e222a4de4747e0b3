#pragma once

#include <string>

// Makes Wine report Windows XP (version 5.1) to one program, named by its file name, through
// HKCU\Software\Wine\AppDefaults\<program>\Version = "winxp". Programs started afterwards see it;
// Remove, or the destructor, undoes it.
class WindowsXpOverride {
 public:
  explicit WindowsXpOverride(std::wstring programName);
  WindowsXpOverride(const WindowsXpOverride&) = delete;
  WindowsXpOverride& operator=(const WindowsXpOverride&) = delete;
  ~WindowsXpOverride() { Remove(); }

  // Returns false when the value could not be written; whatever was created is then removed again.
  [[nodiscard]] bool Apply();

  // Deletes the value, and the program's key when Apply created it.
  void Remove();

 private:
  std::wstring programKey_;
  bool applied_ = false;
  bool createdKey_ = false;
};
