#include "products/ActionStage.h"

#include "products/ProductFamily.h"

bool RunActionStage(installer::Installer& installer, std::wstring_view upgradeCode,
                    FamilyAction action) {
  ProductFamily family(installer, upgradeCode);
  if (action == FamilyAction::kNone) {
    return true;  // nothing asked, nothing claimed
  }
  // The newest member cannot be known from part of a family, nor can all of it be removed.
  if (family.enumerationGaps().readShort) {
    return false;
  }
  // The counts only matter to callers of the family.
  switch (action) {
    case FamilyAction::kHideOld:
      static_cast<void>(family.HideOldProducts());
      break;
    case FamilyAction::kUninstall:
      static_cast<void>(family.UninstallAll());
      break;
    case FamilyAction::kNone:
      break;
  }
  return true;
}
