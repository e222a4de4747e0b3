#include "products/ProductFamily.h"

#include <algorithm>

#include "common/AsciiCase.h"
#include "installer/InstallerCodes.h"

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

}  // namespace

ProductFamily::ProductFamily(installer::Installer& installer, std::wstring_view upgradeCode)
    : upgradeCode_(upgradeCode), installer_(installer) {
  EnumeratedCodes enumerated =
      EnumerateCodes(RelatedProductsBound(upgradeCode_), [this](unsigned long index, wchar_t* productCode) {
        return installer_.EnumRelatedProducts(upgradeCode_.c_str(), index, productCode);
      });
  for (const std::wstring& productCode : enumerated.codes) {
    products_.push_back(std::make_unique<Product>(installer_, productCode));
  }
  gaps_ = std::move(enumerated.gaps);
}

unsigned ProductFamily::Count() const { return static_cast<unsigned>(products_.size()); }

Product* ProductFamily::Newest() const {
  Product* newest = nullptr;
  for (const std::unique_ptr<Product>& product : products_) {
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
    if (!kept && product.HideFromAddRemove()) {
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
    MemberOutcome outcome =
        OutcomeFor(product, kept ? MemberOutcome::Kind::kKeptNewest : MemberOutcome::Kind::kHide);
    if (!kept) {
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
  std::vector<const Product*> hidden;
  for (const std::unique_ptr<Product>& product : products_) {
    if (product->InstallContext() == 0) {
      continue;  // a stale registration names no installed member
    }
    const EntryState entry32 = product->EntryIn(EntryView::k32);
    const EntryState entry64 = product->EntryIn(EntryView::k64);
    if (entry32 == EntryState::kVisible || entry64 == EntryState::kVisible) {
      return false;
    }
    if (entry32 == EntryState::kHidden || entry64 == EntryState::kHidden) {
      hidden.push_back(product.get());
    }
  }
  // Only now the package signals, which cost an open of the cached package each.
  return std::any_of(hidden.begin(), hidden.end(), [](const Product* product) {
    return product->AsksToBeHidden().answer == SelfHiding::Answer::kDoesNotAsk;
  });
}

unsigned ProductFamily::HideAllExcept(std::wstring_view productCode) {
  unsigned hidden = 0;
  for (const std::unique_ptr<Product>& product : products_) {
    const std::wstring code = product->GetProductCode();
    const bool spared =
        EqualsIgnoringAsciiCase(std::wstring_view(code).substr(0, productCode.size()), productCode);
    if (!spared && product->HideFromAddRemove()) {
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
    MemberOutcome outcome = OutcomeFor(*product, isKept ? MemberOutcome::Kind::kKeptByKeepNewest
                                                        : MemberOutcome::Kind::kRemoval);
    if (!isKept && blocked) {
      outcome.removal.state = RemovalOutcome::State::kBlocked;
    } else if (!isKept) {
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
    removalOrder.push_back(product.get());
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
    member.removalPosition = static_cast<unsigned>(
        std::find(removalOrder.begin(), removalOrder.end(), product.get()) - removalOrder.begin() + 1);
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
