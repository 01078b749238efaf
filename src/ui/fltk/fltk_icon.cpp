#include "ui/fltk/fltk_icon.h"

#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Window.H>

#include <memory>
#include <string>
#include <vector>

namespace ui::fltk {

int UseProgramIcon() {
  std::vector<std::unique_ptr<Fl_PNG_Image>> images;
  std::vector<const Fl_RGB_Image*> sizes;
  for (const IconPng& png : ProgramIconPngs()) {
    const std::string name = "ridideduvure-" + std::to_string(png.size) + ".png";
    auto image =
        std::make_unique<Fl_PNG_Image>(name.c_str(), png.data, static_cast<int>(png.length));
    if (image->w() != png.size || image->h() != png.size || image->d() < 3) continue;
    sizes.push_back(image.get());
    images.push_back(std::move(image));
  }
  // FLTK keeps copies, so the decoded images may go when this returns.
  if (!sizes.empty()) Fl_Window::default_icons(sizes.data(), static_cast<int>(sizes.size()));
  return static_cast<int>(sizes.size());
}

}  // namespace ui::fltk
