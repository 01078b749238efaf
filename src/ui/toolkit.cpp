#include "ui/toolkit.h"

namespace ui {
namespace {

Toolkit* current = nullptr;

}  // namespace

Toolkit& CurrentToolkit() { return *current; }

void SetToolkit(Toolkit* toolkit) { current = toolkit; }

}  // namespace ui
