// The hourglass for the length of a command, set back however the command ends.
#pragma once

#include "ui/toolkit.h"

namespace search {

class BusyCursor {
 public:
  explicit BusyCursor(ui::Toolkit& toolkit) : toolkit_(toolkit) { toolkit_.SetBusyCursor(true); }
  ~BusyCursor() { toolkit_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  ui::Toolkit& toolkit_;
};

}  // namespace search
