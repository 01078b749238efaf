#include "ui/toolkit.h"

#include <exception>

namespace ui {
namespace {

Toolkit* current = nullptr;

}  // namespace

Toolkit& CurrentToolkit() { return *current; }

void SetToolkit(Toolkit* toolkit) { current = toolkit; }

bool RunHandler(const std::function<void()>& handler) {
  try {
    if (handler) handler();
    return true;
  } catch (const std::exception& error) {
    Toolkit& toolkit = CurrentToolkit();
    toolkit.MessageBox(error.what(), toolkit.ApplicationTitle(), kMbOk | kMbIconHand);
  } catch (...) {
    Toolkit& toolkit = CurrentToolkit();
    toolkit.MessageBox("An unexpected error occurred.", toolkit.ApplicationTitle(),
                       kMbOk | kMbIconHand);
  }
  return false;
}

}  // namespace ui
