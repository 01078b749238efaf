# The program's icon is drawn once, as src/app/ridideduvure.svg; the PNGs the desktops and the
# FLTK window want and the Windows icon file are made from it with Debian's tools (rsvg-convert
# from librsvg2-bin, icotool from icoutils). Target rd_icons makes them in build/<preset>/icons.
find_program(RD_RSVG_CONVERT rsvg-convert)
if(NOT RD_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert is missing: scripts/setup installs it (librsvg2-bin)")
endif()

set(RD_ICON_SVG ${PROJECT_SOURCE_DIR}/src/app/ridideduvure.svg)
set(RD_ICON_DIR ${PROJECT_BINARY_DIR}/icons)
set(RD_ICON_SIZES 16 24 32 48 64 128 256)
set(rd_icon_outputs)
foreach(size IN LISTS RD_ICON_SIZES)
  set(png ${RD_ICON_DIR}/ridideduvure-${size}.png)
  add_custom_command(OUTPUT ${png}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${RD_ICON_DIR}
                     COMMAND ${RD_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${RD_ICON_SVG}
                     DEPENDS ${RD_ICON_SVG} VERBATIM)
  list(APPEND rd_icon_outputs ${png})
endforeach()

if(WIN32)
  find_program(RD_ICOTOOL icotool)
  if(NOT RD_ICOTOOL)
    message(FATAL_ERROR "icotool is missing: scripts/setup installs it (icoutils)")
  endif()
  # Windows draws the small sizes from bitmaps and the largest from the PNG kept inside.
  set(RD_ICON_ICO ${RD_ICON_DIR}/ridideduvure.ico)
  add_custom_command(OUTPUT ${RD_ICON_ICO}
                     COMMAND ${RD_ICOTOOL} -c -o ${RD_ICON_ICO}
                             ${RD_ICON_DIR}/ridideduvure-16.png ${RD_ICON_DIR}/ridideduvure-24.png
                             ${RD_ICON_DIR}/ridideduvure-32.png ${RD_ICON_DIR}/ridideduvure-48.png
                             -r ${RD_ICON_DIR}/ridideduvure-256.png
                     DEPENDS ${rd_icon_outputs} VERBATIM)
  list(APPEND rd_icon_outputs ${RD_ICON_ICO})
endif()

add_custom_target(rd_icons DEPENDS ${rd_icon_outputs})
