# cmake -DOUTPUT=file.cpp -DSIZES="16;32" -DICON_DIR=dir -P embed_icons.cmake
# Writes the PNG files ridideduvure-<size>.png of ICON_DIR into a C++ source as byte arrays, for
# the FLTK window's icon (src/ui/fltk/fltk_icon.h), so that the program needs no file beside it.
set(text "// Made at build time by cmake/embed_icons.cmake from the PNGs of src/app/ridideduvure.svg.\n")
string(APPEND text "#include \"ui/fltk/fltk_icon.h\"\n\nnamespace ui::fltk {\nnamespace {\n\n")
set(list_text)
foreach(size IN LISTS SIZES)
  file(READ ${ICON_DIR}/ridideduvure-${size}.png hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x..," 16 row)  # CMake's expressions know no {16}
  string(REGEX REPLACE "(${row})" "\\1\n    " bytes "${bytes}")
  string(APPEND text "const unsigned char kPng${size}[] = {\n    ${bytes}\n};\n\n")
  string(APPEND list_text "    {${size}, kPng${size}, sizeof kPng${size}},\n")
endforeach()
string(APPEND text "const IconPng kPngs[] = {\n${list_text}};\n\n}  // namespace\n\n")
string(APPEND text "std::span<const IconPng> ProgramIconPngs() { return kPngs; }\n\n")
string(APPEND text "}  // namespace ui::fltk\n")
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
