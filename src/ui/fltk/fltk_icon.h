// The program's icon on its FLTK windows: the window manager shows it in the title bar, the task
// bar and the window switcher.
#pragma once

#include <cstddef>
#include <span>

namespace ui::fltk {

// One size of the icon as a PNG file, made from src/app/ridideduvure.svg at build time.
struct IconPng {
  int size;  // width and height in pixels
  const unsigned char* data;
  std::size_t length;
};

// The sizes built into the program, smallest first.
std::span<const IconPng> ProgramIconPngs();

// Makes the icon the default of every window shown from now on. Returns the number of sizes
// handed to FLTK (none when no PNG could be decoded, and the windows keep the desktop's icon).
int UseProgramIcon();

}  // namespace ui::fltk
