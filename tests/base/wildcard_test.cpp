#include "base/wildcard.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(WildcardTest, StarAndQuestionMark) {
  EXPECT_TRUE(MatchesMask("Smith.cht", "*.cht"));
  EXPECT_TRUE(MatchesMask("SMITH.CHT", "*.cht"));
  EXPECT_TRUE(MatchesMask("Smith.HVcht", "*.hvCHT"));
  EXPECT_FALSE(MatchesMask("Smith.chtx", "*.cht"));
  EXPECT_FALSE(MatchesMask("Smith.ch", "*.cht"));
  EXPECT_TRUE(MatchesMask("a.b.cht", "*.cht"));
  EXPECT_TRUE(MatchesMask("map.pte", "*.pt*"));
  EXPECT_TRUE(MatchesMask("abcbc", "a*bc"));  // the star has to give back what it took
  EXPECT_FALSE(MatchesMask("abcb", "a*bc"));
  EXPECT_TRUE(MatchesMask("x1.di1", "x?.di?"));
  EXPECT_FALSE(MatchesMask("x.di1", "x?.di?"));
  EXPECT_TRUE(MatchesMask("", "*"));
  EXPECT_FALSE(MatchesMask("a", ""));
}

TEST(WildcardTest, DotStarAlsoTakesNamesWithoutADot) {
  EXPECT_TRUE(MatchesMask("README", "*.*"));
  EXPECT_TRUE(MatchesMask("Charts", "*.*"));
  EXPECT_TRUE(MatchesMask("..", "*.*"));
  EXPECT_TRUE(MatchesMask("Charts", "Ch*.*"));
  EXPECT_FALSE(MatchesMask("Notes", "Ch*.*"));
}

TEST(WildcardTest, AccentedLettersFoldAndCountAsOneCharacter) {
  EXPECT_TRUE(MatchesMask("ZOÉ.cht", "zoé.*"));
  EXPECT_TRUE(MatchesMask("café.cht", "caf?.cht"));
  EXPECT_FALSE(MatchesMask("café.cht", "caf??.cht"));
  EXPECT_TRUE(EqualNoCase("Ñandú", "ñANDÚ"));
  EXPECT_FALSE(EqualNoCase("×", "÷"));  // the multiplication sign is no capital
  EXPECT_FALSE(EqualNoCase("a", "ab"));
}

}  // namespace
}  // namespace base
