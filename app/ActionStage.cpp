#include "app/ActionStage.h"

#include "products/ProductFamily.h"

void RunActionStage(const CommandLine& commandLine, installer::Installer& installer) {
  ProductFamily family(installer, commandLine.upgradeCode());
  // The counts only matter to callers of the family; the exit code stays 0 either way.
  if (commandLine.hideOld()) {
    static_cast<void>(family.HideOldProducts());
  } else if (commandLine.uninstall()) {
    static_cast<void>(family.UninstallAll());
  }
}
