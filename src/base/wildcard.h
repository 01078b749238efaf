// Windows-style wildcard masks, for folder listings and for choosing archive entries.
#pragma once

#include <string>
#include <string_view>

namespace base {

// True when name matches mask: "*" stands for any run of characters, "?" for exactly one, and
// letters match without regard to case (ASCII, and the accented Latin-1 letters in UTF-8). As in
// Windows listings, a mask that ends in ".*" also takes names without a dot, so "*.*" takes all.
bool MatchesMask(std::string_view name, std::string_view mask);
// The same for a name and a mask both already through FoldCase, for matching many names against
// a few masks.
bool MatchesFoldedMask(std::string_view folded_name, std::string_view folded_mask);

// The text with its letters folded as MatchesMask compares them: two names are equal without
// regard to case exactly when their folded forms are equal, so the forms can be hashed.
std::string FoldCase(std::string_view text);

// True when the two texts are equal without regard to case, in the sense of MatchesMask.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace base
