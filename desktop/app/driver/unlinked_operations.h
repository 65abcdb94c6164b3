#pragma once
// The operations as they stand before the subsystems behind them are linked
// in: nothing is stored, no image is found, the device tells nothing and no
// boot loader answers. Each failure keeps the convention (its screen, the
// main window closed), so the program runs to a sound end.
#include <memory>

#include "desktop/app/driver/wizard_operations.h"

namespace corvash::driver {

// The unlinked operations and text table, and the objects behind them.
class UnlinkedOperations {
 public:
  UnlinkedOperations();
  ~UnlinkedOperations();
  UnlinkedOperations(const UnlinkedOperations&) = delete;
  UnlinkedOperations& operator=(const UnlinkedOperations&) = delete;

  const WizardOperations& Operations() const;
  PageTexts& Texts();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace corvash::driver
