// The one owner and the one scope guard everything else builds on: each handle is given back
// exactly once, whichever way its owner goes, and never the value that owns nothing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "base/scope_exit.h"
#include "base/unique_handle.h"

namespace base {
namespace {

std::vector<int> closed;

struct CountedTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static void Close(Handle handle) { closed.push_back(handle); }
};
using Counted = UniqueHandle<CountedTraits>;

class OwnershipTest : public ::testing::Test {
 protected:
  void SetUp() override { closed.clear(); }
};

TEST_F(OwnershipTest, EachHandleIsClosedOnceHoweverItsOwnerGoes) {
  {
    Counted none;
    Counted three(3);
    Counted moved(std::move(three));
    EXPECT_FALSE(three.valid());
    EXPECT_EQ(moved.get(), 3);
    Counted four(4);
    four = std::move(moved);  // 4 goes now, 3 when the scope ends
    EXPECT_EQ(closed, std::vector<int>{4});
  }
  EXPECT_EQ(closed, (std::vector<int>{4, 3}));

  closed.clear();
  Counted five(5);
  five.Reset(6);
  five.Reset();
  five.Reset();
  EXPECT_EQ(closed, (std::vector<int>{5, 6}));

  closed.clear();
  {
    Counted seven(7);
    EXPECT_EQ(seven.Release(), 7);  // the caller closes it from now on
  }
  EXPECT_TRUE(closed.empty());
}

TEST_F(OwnershipTest, AnOutParameterFillsAnEmptiedOwner) {
  Counted owner(8);
  *owner.Put() = 9;
  EXPECT_EQ(closed, std::vector<int>{8});
  EXPECT_EQ(owner.get(), 9);
}

TEST(ScopeExitTest, RunsOnReturnAndOnExceptionUnlessReleased) {
  int runs = 0;
  {
    const ScopeExit count([&] { ++runs; });
  }
  EXPECT_EQ(runs, 1);
  try {
    const ScopeExit count([&] { ++runs; });
    throw std::runtime_error("leaves the scope");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(runs, 2);
  {
    ScopeExit count([&] { ++runs; });
    count.Release();
  }
  EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace base
