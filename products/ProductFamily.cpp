#include "products/ProductFamily.h"

#include <algorithm>

#include "common/AsciiCase.h"
#include "common/UserAccount.h"
#include "installer/InstallerCodes.h"
#include "registry/UpgradeCodeRegistrations.h"

namespace {

// The removal order: newest first; a stable sort keeps products of equal version in enumeration
// order.
bool RemovedBefore(const Product& left, const Product& right) { return left.IsNewerThan(right); }

MemberOutcome OutcomeFor(const Product& product, MemberOutcome::Kind kind) {
  MemberOutcome outcome;
  outcome.productCode = product.GetProductCode();
  outcome.versionString = product.WholeVersionString();
  outcome.kind = kind;
  return outcome;
}

bool IsOtherUsers(const Product& product) {
  return product.installation().context == Installation::Context::kOtherUser;
}

// What every action says of another user's member: left as it is, and whose it is.
MemberOutcome OtherUserOutcome(const Product& product) {
  MemberOutcome outcome = OutcomeFor(product, MemberOutcome::Kind::kOtherUser);
  outcome.userSid = product.installation().userSid;
  outcome.userName = AccountNameOfSid(outcome.userSid);
  return outcome;
}

}  // namespace

ProductFamily::ProductFamily(installer::Installer& installer, std::wstring_view upgradeCode)
    : upgradeCode_(upgradeCode), installer_(installer) {
  EnumeratedCodes enumerated =
      EnumerateCodes(RelatedProductsBound(upgradeCode_), [this](unsigned long index, wchar_t* productCode) {
        return installer_.EnumRelatedProducts(upgradeCode_.c_str(), index, productCode);
      });
  const std::wstring runningUserSid = RunningUserSid();
  for (const std::wstring& productCode : enumerated.codes) {
    products_.push_back(std::make_unique<Product>(installer_, productCode));
    products_.back()->Locate(runningUserSid);
  }
  // Windows lists only the running user's and the machine's members; another user's per-user
  // member is registered in the machine's key all the same. A code there that nobody installed is
  // a stale registration, and the installer's own list already names those it knows.
  for (const std::wstring& productCode : ReadRegisteredMembers(upgradeCode_)) {
    if (std::find(enumerated.codes.begin(), enumerated.codes.end(), productCode) != enumerated.codes.end()) {
      continue;
    }
    auto product = std::make_unique<Product>(installer_, productCode);
    product->Locate(runningUserSid);
    if (product->installation().context != Installation::Context::kNone) {
      products_.push_back(std::move(product));
    }
  }
  gaps_ = std::move(enumerated.gaps);
}

unsigned ProductFamily::Count() const { return static_cast<unsigned>(products_.size()); }

Product* ProductFamily::Newest() const {
  Product* newest = nullptr;
  for (const std::unique_ptr<Product>& product : products_) {
    if (!product->installation().ActsHere()) {
      continue;
    }
    if (newest == nullptr || product->IsNewerThan(*newest)) {
      newest = product.get();
    }
  }
  return newest;
}

unsigned ProductFamily::HideOldProducts() {
  if (products_.size() < 2) {
    return 0;
  }
  unsigned hidden = 0;
  ForEachHideChoice([&hidden](Product& product, bool kept) {
    if (!kept && !IsOtherUsers(product) && product.HideFromAddRemove()) {
      ++hidden;
    }
  });
  return hidden;
}

template <typename Visit>
void ProductFamily::ForEachHideChoice(Visit visit) {
  // Only the one product Newest() chose stays visible, even beside another of the same version.
  const Product* newest = Newest();
  for (const std::unique_ptr<Product>& product : products_) {
    visit(*product, product.get() == newest);
  }
}

std::vector<MemberOutcome> ProductFamily::HideOldProductsWithOutcomes(const OutcomeSink& onOutcome) {
  std::vector<MemberOutcome> outcomes;
  ForEachHideChoice([&outcomes, &onOutcome](Product& product, bool kept) {
    MemberOutcome outcome = IsOtherUsers(product) ? OtherUserOutcome(product)
                            : kept ? OutcomeFor(product, MemberOutcome::Kind::kKeptNewest)
                                   : OutcomeFor(product, MemberOutcome::Kind::kHide);
    if (outcome.kind == MemberOutcome::Kind::kHide) {
      outcome.hide = product.HideEntries();
    }
    if (onOutcome) {
      onOutcome(outcome);
    }
    outcomes.push_back(std::move(outcome));
  });
  return outcomes;
}

std::vector<MemberOutcome> ProductFamily::ShowEntriesWithOutcomes(const OutcomeSink& onOutcome) {
  std::vector<MemberOutcome> outcomes;
  for (const std::unique_ptr<Product>& product : products_) {
    if (IsOtherUsers(*product)) {
      MemberOutcome outcome = OtherUserOutcome(*product);
      if (onOutcome) {
        onOutcome(outcome);
      }
      outcomes.push_back(std::move(outcome));
      continue;
    }
    MemberOutcome outcome = OutcomeFor(*product, MemberOutcome::Kind::kShow);
    outcome.show = product->ShowEntries();
    if (onOutcome) {
      onOutcome(outcome);
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

bool ProductFamily::ShowsNoEntryButCould() const {
  // Of part of a family it cannot be said.
  const Product* const kept = gaps_.readShort ? nullptr : Newest();
  if (kept == nullptr) {
    return false;
  }
  for (const std::unique_ptr<Product>& product : products_) {
    if (product->installation().ActsHere() && (product->EntryIn(EntryView::k32) == EntryState::kVisible ||
                                               product->EntryIn(EntryView::k64) == EntryState::kVisible)) {
      return false;
    }
  }
  // Hiding would show the kept member's entry again only when something other than its own product
  // hid it; the package signals cost an open of the cached package, so they come last.
  return (kept->EntryIn(EntryView::k32) == EntryState::kHidden ||
          kept->EntryIn(EntryView::k64) == EntryState::kHidden) &&
         kept->AsksToBeHidden().answer == SelfHiding::Answer::kDoesNotAsk;
}

unsigned ProductFamily::HideAllExcept(std::wstring_view productCode) {
  unsigned hidden = 0;
  for (const std::unique_ptr<Product>& product : products_) {
    const std::wstring code = product->GetProductCode();
    const bool spared =
        EqualsIgnoringAsciiCase(std::wstring_view(code).substr(0, productCode.size()), productCode);
    if (!spared && !IsOtherUsers(*product) && product->HideFromAddRemove()) {
      ++hidden;
    }
  }
  return hidden;
}

unsigned ProductFamily::UninstallAll() {
  RemovalOptions classic;
  classic.policy.classic = true;
  const std::vector<MemberOutcome> outcomes = UninstallAllWithOutcomes(classic);
  return static_cast<unsigned>(std::count_if(
      outcomes.begin(), outcomes.end(),
      [](const MemberOutcome& outcome) { return outcome.removal.Removed(); }));
}

std::vector<MemberOutcome> ProductFamily::UninstallAllWithOutcomes(const RemovalOptions& options) {
  std::vector<MemberOutcome> outcomes;
  if (Count() == 0) {
    return outcomes;
  }
  // Chosen before the sort, as hiding chooses: the first enumerated of the highest version.
  const Product* kept = options.keepNewest ? Newest() : nullptr;
  const int savedLevel = installer_.SetInternalUI(installer::kUiLevelNone);
  // std::list::sort is stable: products of equal version keep their enumeration order.
  products_.sort([](const std::unique_ptr<Product>& left, const std::unique_ptr<Product>& right) {
    return RemovedBefore(*left, *right);
  });
  bool blocked = false;
  for (std::unique_ptr<Product>& product : products_) {
    const bool isKept = product.get() == kept;
    // The installer removes another user's per-user product only in that user's context.
    MemberOutcome outcome = IsOtherUsers(*product) ? OtherUserOutcome(*product)
                            : isKept ? OutcomeFor(*product, MemberOutcome::Kind::kKeptByKeepNewest)
                                     : OutcomeFor(*product, MemberOutcome::Kind::kRemoval);
    if (outcome.kind == MemberOutcome::Kind::kRemoval && blocked) {
      outcome.removal.state = RemovalOutcome::State::kBlocked;
    } else if (outcome.kind == MemberOutcome::Kind::kRemoval) {
      outcome.removal = product->Remove(options.policy);
      blocked = outcome.removal.state == RemovalOutcome::State::kBlocked;
    }
    if (options.onOutcome) {
      options.onOutcome(outcome);
    }
    if (outcome.removal.Removed()) {
      product.reset();
    }
    outcomes.push_back(std::move(outcome));
  }
  // The level this returns is the tool's own kUiLevelNone, set above: nothing to keep.
  static_cast<void>(installer_.SetInternalUI(savedLevel));
  products_.remove(nullptr);
  return outcomes;
}

std::vector<MemberListing> ProductFamily::List() const {
  const Product* newest = Newest();
  std::vector<const Product*> removalOrder;
  for (const std::unique_ptr<Product>& product : products_) {
    if (!IsOtherUsers(*product)) {
      removalOrder.push_back(product.get());
    }
  }
  std::stable_sort(removalOrder.begin(), removalOrder.end(),
                   [](const Product* left, const Product* right) {
                     return RemovedBefore(*left, *right);
                   });
  std::vector<MemberListing> listing;
  for (const std::unique_ptr<Product>& product : products_) {
    MemberListing member;
    static_cast<ProductListing&>(member) = ListingOf(*product);
    member.keptByHide = product.get() == newest;
    const auto position = std::find(removalOrder.begin(), removalOrder.end(), product.get());
    member.removalPosition =
        position == removalOrder.end() ? 0 : static_cast<unsigned>(position - removalOrder.begin() + 1);
    listing.push_back(std::move(member));
  }
  return listing;
}

std::vector<MemberIdentity> ProductFamily::Describe() const {
  std::vector<MemberIdentity> members;
  for (const std::unique_ptr<Product>& product : products_) {
    members.push_back(IdentityOf(*product));
  }
  return members;
}
