#pragma once

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "installer/Installer.h"
#include "products/CodeEnumeration.h"
#include "products/MemberListing.h"
#include "products/MemberOutcome.h"
#include "products/Product.h"

class InstallerWait;

// Called with each member's outcome as soon as it is known.
using OutcomeSink = std::function<void(const MemberOutcome&)>;

// How a family is removed.
struct RemovalOptions {
  RemovalPolicy policy;     // how each member is removed
  bool keepNewest = false;  // the member Newest() chooses stays installed
  OutcomeSink onOutcome;    // unset: nobody is told before the action ends
};

// Every installed product that shares one upgrade code, as the installer reports them.
class ProductFamily {
 public:
  // Enumerates the related products at once, past an index the installer answers with an error
  // for that entry alone, up to the bound its registration gives (see EnumerateCodes), adds another
  // user's members that only the machine's registration names, and finds where each is installed
  // (Product::Locate); an upgrade code the installer does not know gives an empty family.
  ProductFamily(installer::Installer& installer, std::wstring_view upgradeCode);
  virtual ~ProductFamily() = default;
  ProductFamily(const ProductFamily&) = delete;
  ProductFamily& operator=(const ProductFamily&) = delete;

  [[nodiscard]] virtual unsigned Count() const;

  // Hides the entry of every product but the newest; another user's stay as they are. Returns how
  // many were hidden.
  [[nodiscard]] virtual unsigned HideOldProducts();

  // Hides the entry of every product whose code does not start with productCode (any case of A
  // to Z). Returns how many were hidden.
  [[nodiscard]] virtual unsigned HideAllExcept(std::wstring_view productCode);

  // Uninstalls every product, newest first, with the installer's own interface switched off; the
  // products removed leave the family. Returns how many were removed. UninstallAllWithOutcomes
  // with the classic policy.
  [[nodiscard]] virtual unsigned UninstallAll();

  // Hides as HideOldProducts does, and says what came of each member, in enumeration order (the
  // newest as kKeptNewest, a lone member too), also to onOutcome as each is done.
  [[nodiscard]] std::vector<MemberOutcome> HideOldProductsWithOutcomes(
      const OutcomeSink& onOutcome = {});

  // Shows the hidden entries of every member (Product::ShowEntries), in enumeration order, and says
  // what came of each, also to onOutcome as each is done.
  [[nodiscard]] std::vector<MemberOutcome> ShowEntriesWithOutcomes(const OutcomeSink& onOutcome = {});

  // True when the family shows no entry and hiding's repair would show one: no member this run
  // acts on (Installation::ActsHere) has a visible entry, and the member Newest() keeps has one
  // hidden by something other than its own product (SelfHiding says it does not ask). A kept
  // member that asks to be hidden, or has no entry, is not flagged, nor a family read short. Reads
  // only.
  [[nodiscard]] bool ShowsNoEntryButCould() const;

  // The one removal loop: every member newest first through Product::Remove, with the installer's
  // interface switched off; says what came of each member, in removal order. With keepNewest the
  // member Newest() chooses stays installed (kKeptByKeepNewest) and in the family. Once a member
  // is kBlocked (the wait's deadline has come), the rest are kBlocked untried.
  [[nodiscard]] std::vector<MemberOutcome> UninstallAllWithOutcomes(
      const RemovalOptions& options = {});

  // Every member in enumeration order, with what each action would do. Reads only: no registry
  // write and no installer call that changes anything.
  [[nodiscard]] std::vector<MemberListing> List() const;

  // Every member in enumeration order with its name and install context, read from the installer.
  [[nodiscard]] std::vector<MemberIdentity> Describe() const;

  // The member hiding keeps visible and /keepnewest keeps installed: of the members this run acts
  // on (installed per machine or for its own user), the one with the highest version, the first
  // enumerated of equals. Another user's install never counts. nullptr when there is none.
  [[nodiscard]] Product* Newest() const;

  // The indexes of the enumeration that gave no member, and whether it read short: then the
  // members are only those read before the bound, and no action may choose among them.
  const EnumerationGaps& enumerationGaps() const noexcept { return gaps_; }

  // The products in their current order: enumeration order until UninstallAll sorts them.
  const std::list<std::unique_ptr<Product>>& products() const noexcept { return products_; }

 private:
  // The choice of HideOldProducts: visit(product, kept) for each member in enumeration order,
  // kept for the one Newest() chose.
  template <typename Visit>
  void ForEachHideChoice(Visit visit);

  std::wstring upgradeCode_;
  std::list<std::unique_ptr<Product>> products_;
  EnumerationGaps gaps_;
  installer::Installer& installer_;
};
