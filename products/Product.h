#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "installer/Installer.h"
#include "products/Installation.h"
#include "products/MemberOutcome.h"

class InstallerWait;

// How a removal goes when the installer refuses it.
struct RemovalPolicy {
  // The classic /uninstall: every refusal, a busy installer and an unknown product too, takes the
  // cached package through UninstallFromCachedPackage, and the outcome says only whether the
  // product went. Otherwise a member already gone is kGone, a busy installer never leads to the
  // cached package, and the outcome keeps what the installer answered each way.
  bool classic = false;
  // Waits out another installation: the removal waits and a busy answer is tried again until the
  // deadline, and is kBlocked after it. nullptr: a busy answer fails the removal.
  const InstallerWait* wait = nullptr;
  // Where the installer's verbose log of the product's removal goes; unset: no log.
  std::function<std::wstring(const std::wstring& productCode)> installerLogPath;
};

// Where a product's uninstall entry stands in one registry view.
enum class EntryState {
  kNone,     // no key, or a key without DisplayName
  kVisible,  // listed among the installed programs
  kHidden,   // has a DisplayName and SystemComponent set
};

// Whether a product asks to stay out of Programs and Features, by two signals: the installer's
// record of the install (SystemComponent in its own registration) and the product's cached
// package (it authors ARPSYSTEMCOMPONENT).
struct SelfHiding {
  enum class Answer {
    kAsks,        // either signal asks
    kDoesNotAsk,  // neither asks, and at least one could be read
    kCannotTell,  // neither could be read
  };
  Answer answer = Answer::kCannotTell;
  long recordError = 0;       // the registry's error when the record could not be read
  unsigned packageError = 0;  // the installer's error when the cached package could not be read
};

// One installed product of a family: its product code and the version the installer reports.
class Product {
 public:
  // Copies the code and reads the product's "VersionString" at once; a failed read leaves the
  // version empty.
  Product(installer::Installer& installer, std::wstring_view productCode);
  virtual ~Product() = default;
  Product(const Product&) = delete;
  Product& operator=(const Product&) = delete;

  virtual std::wstring GetProductCode() const;
  virtual std::wstring GetVersionString() const;
  // The whole VersionString, for reports: GetVersionString reads at most 99 characters, as the
  // version order always has; a longer one is read again at its length.
  std::wstring WholeVersionString() const { return wholeVersionString_; }

  // True when this version is strictly higher; an unparsable version counts as 0.0.0.0.
  [[nodiscard]] virtual bool IsNewerThan(const Product& other) const;

  // Writes SystemComponent = 1 under the product's uninstall key in each registry view where the
  // key has a DisplayName. True when at least one view was written.
  [[nodiscard]] virtual bool HideFromAddRemove();

  // Removes the product silently without a restart, from its cached package when the installer
  // refuses the plain removal: Remove with the classic policy. True when it was removed either way.
  [[nodiscard]] virtual bool Uninstall();

  // Reads the version as four numbers, -1 for each that the string does not give. False, with the
  // outputs untouched, when not even the first number can be read.
  [[nodiscard]] virtual bool ParseVersion(int& major, int& minor, int& build, int& revision) const;

  // Removes the product from a private copy of its cached package. True when the removal succeeded.
  [[nodiscard]] virtual bool UninstallFromCachedPackage();

  // Hides as HideFromAddRemove does, with the same registry calls, and says per view what came of it.
  [[nodiscard]] HideOutcome HideEntries();

  // The one removal path: by product code, silently, without a restart, then as policy says when
  // the installer refuses. Says which way it went and what the installer answered each way.
  [[nodiscard]] RemovalOutcome Remove(const RemovalPolicy& policy);

  // Deletes SystemComponent from the product's uninstall key in each registry view where the key
  // has a DisplayName and SystemComponent set, unless the product asks to be hidden (or that
  // cannot be told: see AsksToBeHidden, asked only when a view is hidden). Touches no other value.
  [[nodiscard]] ShowOutcome ShowEntries();

  // Reads both signals of SelfHiding; the cached package is opened read-only. Changes nothing.
  [[nodiscard]] SelfHiding AsksToBeHidden() const;

  // The uninstall entry's state in one view. Only reads; an entry that cannot be read is kNone.
  [[nodiscard]] EntryState EntryIn(EntryView view) const;

  // The install context the installer finds the product in now: installer::kContextMachine, or
  // kContextUserManaged / kContextUserUnmanaged for the current user; 0 when none answers.
  [[nodiscard]] int InstallContext() const;

  // Finds where the product is installed, for every user (FindInstallation), and keeps it; for
  // another user's product whose version the installer did not give, takes that user's.
  void Locate(std::wstring_view runningUserSid);

  // What Locate found; kNone before it is called.
  const Installation& installation() const noexcept { return installation_; }

  // An installer property of this product; empty when the installer cannot give it.
  [[nodiscard]] std::wstring ReadProperty(const wchar_t* property) const;

 private:
  struct CopyRemoval {
    bool ran = false;     // the copy was made and the removal ran from it
    unsigned result = 0;  // what that removal answered
  };

  // The removal by product code (through GetProductCode); returns the installer's answer. With
  // a wait, a busy answer is retried until the deadline.
  [[nodiscard]] unsigned RemoveByProductCode(const InstallerWait* wait = nullptr);
  [[nodiscard]] CopyRemoval RemoveFromCachedPackage(const InstallerWait* wait = nullptr);

  std::wstring productCode_;
  std::wstring versionString_;
  std::wstring wholeVersionString_;
  Installation installation_;
  installer::Installer& installer_;
};
