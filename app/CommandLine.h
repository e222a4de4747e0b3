#pragma once

#include <string>

namespace installer {
class Installer;
}

// The tool's switches and upgrade code, as one parse of its arguments found them.
class CommandLine {
 public:
  CommandLine() = default;
  virtual ~CommandLine() = default;

  // Reads the argument vector, the program in position 0. Unknown arguments, and fewer than one
  // or more than two after the program, make the command line invalid.
  void Parse(int argumentCount, const wchar_t* const* arguments);

  virtual bool IsValid() const { return valid_; }

  // The run sequence: validity, help, the Administrators gate, the upgrade code, then the action.
  // Returns the exit code 0, 5 or 160; what the action achieved does not change it.
  // The entry function passes the machine's installer service (installer::SystemInstaller()).
  int Run(installer::Installer& installer) const;

  int argumentCount() const { return argumentCount_; }
  const std::wstring& programPath() const { return programPath_; }
  bool hideOld() const { return hideOld_; }
  bool uninstall() const { return uninstall_; }
  bool help() const { return help_; }
  const std::wstring& upgradeCode() const { return upgradeCode_; }

 private:
  int argumentCount_ = 0;
  std::wstring programPath_;
  bool hideOld_ = false;
  bool uninstall_ = false;
  bool help_ = false;
  std::wstring upgradeCode_;
  bool valid_ = true;
};
