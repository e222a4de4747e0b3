#include "products/ActionStage.h"

#include "products/ProductFamily.h"

void RunActionStage(installer::Installer& installer, std::wstring_view upgradeCode,
                    FamilyAction action) {
  ProductFamily family(installer, upgradeCode);
  // The counts only matter to callers of the family; the exit code stays 0 either way.
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
}
