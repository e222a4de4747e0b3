#pragma once

// Answers whether the user running the tool belongs to the built-in Administrators group.
class UserInfo {
 public:
  virtual ~UserInfo() = default;

  // True for an administrator; otherwise writes the privilege error to the standard error and
  // returns false.
  [[nodiscard]] bool CheckAdministrator() const;

  // True when the thread's token, or without one the process's, holds the Administrators group
  // enabled, or (from platform major version 6) for deny only. Any failure answers false.
  [[nodiscard]] bool IsAdministrator() const;
};

// The privilege error, as CheckAdministrator writes it: four lines, each ending with a line end.
const wchar_t* PrivilegeErrorText() noexcept;
