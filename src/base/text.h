// Text and path operations shared by every command. They are pure functions of their arguments,
// except NextSpinnerChar, which keeps one process-wide position.
//
// Positions are counted from 0, as everywhere in C++; "not found" is std::string::npos for
// positions and -1 for FindInList.
#pragma once

#include <string>
#include <vector>

namespace base {

// An ordered list of texts, neither sorted nor de-duplicated.
using StringList = std::vector<std::string>;

// Upper-cases "a" to "z" and nothing else.
std::string UpperText(std::string text);

// Remove ch from the end (or the start) for as long as the text ends (starts) with it.
std::string StripTrailing(char ch, std::string text);
std::string StripLeading(char ch, std::string text);
std::string TrimTrailingSpaces(std::string text);
std::string TrimLeadingSpaces(std::string text);

// The ASCII digits and letters of text, in order.
std::string KeepAlphaNum(const std::string& text);
// The characters from the blank to the tilde, in order.
std::string KeepPrintable(const std::string& text);
// KeepPrintable, then both ends trimmed of blanks.
std::string CleanText(const std::string& text);

// Position of the last occurrence of sub in text (exact, case-sensitive); npos when there is none.
size_t LastPos(const std::string& sub, const std::string& text);

// Everything after the first occurrence of marker at or after position from; empty when there is
// no such occurrence.
std::string TextAfter(const std::string& text, size_t from, const std::string& marker);

// The characters from position from up to the last occurrence of marker in text, or to the end of
// text when marker does not occur.
std::string TextBeforeLast(const std::string& text, size_t from, const std::string& marker);

// The path without the extension of its last element; unchanged when that element has no dot.
std::string StripExtension(const std::string& path);

// The path element that holds the last dot ("Smith.cht" of "C:\Charts\Smith.cht"); the path
// unchanged when it has no dot.
std::string WordWithDot(const std::string& path);

// The folder part of a Windows path: up to and with its last "\" or the ":" of a drive
// ("C:\Charts\" of "C:\Charts\x.cht", "C:" of "C:x.cht"); empty for a bare name.
std::string FolderOf(const std::string& path);
// What follows the folder part: the last element ("x.cht"); the whole text for a bare name.
std::string NameOf(const std::string& path);

// text when it ends with ch already, else text + ch (ch alone for an empty text).
std::string EnsureTrailingChar(char ch, const std::string& text);
std::string AddBackslash(const std::string& text);

// Looks for each word in turn, without regard to ASCII case, anywhere in text. Returns the position
// of the first word that occurs, when position is negative or equals that position; -1 otherwise.
// Callers pass position -1 and test the result for >= 0.
int FindInList(const StringList& words, int position, const std::string& text);

std::string IntToText(long long value);

// 100 * part / whole, rounded to the nearest whole number (a half to the even neighbour, as
// nearbyint does in the default rounding mode) and held to 0..100: the position of a progress
// bar. whole must not be 0.
int RoundedPercent(double part, double whole);

// The busy indicator "|", "/", "-", "\": the character at the current position, which then moves
// on (after "\" comes "|" again).
char NextSpinnerChar();

}  // namespace base
