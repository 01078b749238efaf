#include "base/text.h"

#include <gtest/gtest.h>

namespace base {
namespace {

const size_t npos = std::string::npos;

TEST(TextTest, CaseAndCharacterSets) {
  EXPECT_EQ(UpperText("c:\\charts\\zoé.cht"), "C:\\CHARTS\\ZOé.CHT");  // only a to z change
  EXPECT_EQ(KeepAlphaNum("\\ C:\\é-1!"), "C1");
  EXPECT_EQ(KeepPrintable("a\tb~\x7F\xC3\xA9"), "ab~");
  EXPECT_EQ(CleanText("  \x01 Vardek \r\n"), "Vardek");
  EXPECT_EQ(StripTrailing('\\', "C:\\a\\\\"), "C:\\a");
  EXPECT_EQ(StripTrailing('\\', "\\\\"), "");
  EXPECT_EQ(StripLeading('0', "0070"), "70");
  EXPECT_EQ(StripLeading('0', "000"), "");
  EXPECT_EQ(TrimLeadingSpaces(TrimTrailingSpaces("  a b  ")), "a b");
  EXPECT_EQ(IntToText(-42), "-42");
  EXPECT_EQ(IntToText(0), "0");
}

TEST(TextTest, PositionsCountFromZero) {
  EXPECT_EQ(LastPos("\\", "C:\\a\\b"), 4u);
  EXPECT_EQ(LastPos("abc", "ab"), npos);  // longer than the text
  EXPECT_EQ(LastPos("x", "abc"), npos);

  const std::string marker = "Vardek Backup of ";
  EXPECT_EQ(TextAfter(marker + "C:\\Charts\\", 0, marker), "C:\\Charts\\");
  EXPECT_EQ(TextAfter("Backup of C:\\Charts", 0, marker), "");
  // The search starts at the given position, so an earlier occurrence is passed over.
  EXPECT_EQ(TextAfter("ab:cd:ef", 3, ":"), "ef");
  EXPECT_EQ(TextAfter("ab:cd", 2, ":"), "cd");
  EXPECT_EQ(TextAfter("ab:cd", 9, ":"), "");

  EXPECT_EQ(TextBeforeLast("C:\\dir\\x.tar.cht", 0, "."), "C:\\dir\\x.tar");
  EXPECT_EQ(TextBeforeLast("abc.def", 1, "."), "bc");
  EXPECT_EQ(TextBeforeLast("abcdef", 2, "."), "cdef");  // no marker: to the end
}

TEST(TextTest, StripExtensionTouchesTheLastElementOnly) {
  EXPECT_EQ(StripExtension("C:\\dir\\x.tar.cht"), "C:\\dir\\x.tar");
  EXPECT_EQ(StripExtension("C:\\a.b\\c"), "C:\\a.b\\c");
  EXPECT_EQ(StripExtension("C:\\Charts\\Smith"), "C:\\Charts\\Smith");
  EXPECT_EQ(StripExtension("Smith.cht"), "Smith");
  EXPECT_EQ(StripExtension(""), "");
}

TEST(TextTest, WordWithDotIsTheElementHoldingTheLastDot) {
  EXPECT_EQ(WordWithDot("C:\\Charts\\Smith.cht"), "Smith.cht");
  EXPECT_EQ(WordWithDot("C:\\Charts"), "C:\\Charts");
  EXPECT_EQ(WordWithDot("Smith.cht"), "Smith.cht");
  EXPECT_EQ(WordWithDot("C:\\a.b\\c"), "a.b");
  EXPECT_EQ(WordWithDot("C:\\x\\name."), "name.");
  EXPECT_EQ(WordWithDot(".cht"), ".cht");  // the walk back stops at the first character
  EXPECT_EQ(WordWithDot("."), ".");
}

// The folder part keeps its separator, so that folder + name gives the path back.
TEST(TextTest, FolderAndNameSplitAtTheLastSeparatorOrDrive) {
  for (const std::string path : {"C:\\Charts\\x.cht", "C:x.cht", "C:\\", "\\x", "x.cht", ""}) {
    EXPECT_EQ(FolderOf(path) + NameOf(path), path) << path;
  }
  EXPECT_EQ(FolderOf("C:\\Charts\\Sub\\x.cht"), "C:\\Charts\\Sub\\");
  EXPECT_EQ(NameOf("C:\\Charts\\Sub\\x.cht"), "x.cht");
  EXPECT_EQ(FolderOf("C:x.cht"), "C:");
  EXPECT_EQ(NameOf("C:x.cht"), "x.cht");
  EXPECT_EQ(FolderOf("C:\\Charts\\"), "C:\\Charts\\");
  EXPECT_EQ(NameOf("C:\\Charts\\"), "");
  EXPECT_EQ(FolderOf("x.cht"), "");
  EXPECT_EQ(NameOf("x.cht"), "x.cht");
  EXPECT_EQ(FolderOf("C:/Charts/x.cht"), "C:");  // a slash is part of a name here
}

TEST(TextTest, RoundedPercentTakesHalvesToEvenAndStaysWithinTheBar) {
  EXPECT_EQ(RoundedPercent(1, 3), 33);
  EXPECT_EQ(RoundedPercent(2, 3), 67);
  EXPECT_EQ(RoundedPercent(1, 8), 12);  // 12.5
  EXPECT_EQ(RoundedPercent(3, 8), 38);  // 37.5
  EXPECT_EQ(RoundedPercent(7, 7), 100);
  EXPECT_EQ(RoundedPercent(0, 7), 0);
  // More done than announced, or a negative count from a confused library: the bar's ends.
  EXPECT_EQ(RoundedPercent(2147483647.0, 1), 100);
  EXPECT_EQ(RoundedPercent(-5, 10), 0);
}

TEST(TextTest, TrailingCharacter) {
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
  EXPECT_EQ(AddBackslash(""), "\\");
  EXPECT_EQ(EnsureTrailingChar('/', "a"), "a/");
}

TEST(TextTest, FindInListReportsTheFirstWordThatOccurs) {
  const StringList excluded = {"ATIDRIVE", "ATR9D"};
  EXPECT_EQ(FindInList(excluded, -1, "c:\\atidrive\\x.cht"), 3);
  EXPECT_EQ(FindInList(excluded, -1, "c:\\charts\\x.cht"), -1);
  // List order decides, not the position in the text.
  EXPECT_EQ(FindInList({"X.CHT", "ATIDRIVE"}, -1, "c:\\atidrive\\x.cht"), 12);
  // A wanted position passes over words found elsewhere.
  EXPECT_EQ(FindInList({"X.CHT", "ATIDRIVE"}, 3, "c:\\atidrive\\x.cht"), 3);
  EXPECT_EQ(FindInList({"ATIDRIVE"}, 0, "c:\\atidrive\\x.cht"), -1);
  EXPECT_EQ(FindInList({"", "CHT"}, -1, "a.cht"), 2);  // an empty word matches nothing
  EXPECT_EQ(FindInList({}, -1, "a.cht"), -1);
}

TEST(TextTest, SpinnerCyclesFromProcessStart) {
  // Nothing else in this program turns the spinner, so it starts at its first character.
  std::string seen;
  for (int i = 0; i < 5; ++i) seen += NextSpinnerChar();
  EXPECT_EQ(seen, "|/-\\|");
}

}  // namespace
}  // namespace base
