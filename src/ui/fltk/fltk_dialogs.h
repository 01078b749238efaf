// The message box and the input box, as FLTK windows modal to the application and centred on the
// screen, with the buttons, default button and keys of their Windows counterparts.
#pragma once

#include <optional>
#include <string>

namespace ui::fltk {

// Button captions, also how the tests find the buttons.
inline constexpr char kOkCaption[] = "OK";
inline constexpr char kCancelCaption[] = "Cancel";
inline constexpr char kYesCaption[] = "Yes";
inline constexpr char kNoCaption[] = "No";

// flags are kMb* values: the buttons (OK, OK/Cancel, Yes/No, Yes/No/Cancel), the icon and the
// default button. Escape and the close box answer Cancel, or OK for a box with OK alone; a Yes/No
// box ignores them, as on Windows, and waits for Yes or No. Returns a kId* value.
int RunMessageBox(const std::string& text, const std::string& caption, unsigned flags);

// A prompt above a text field holding default_text (all selected), OK and Cancel. Enter is OK,
// Escape and the close box are Cancel (nothing).
std::optional<std::string> RunInputBox(const std::string& caption, const std::string& prompt,
                                       const std::string& default_text);

}  // namespace ui::fltk
