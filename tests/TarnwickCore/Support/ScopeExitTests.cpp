#include "TarnwickCore/Support/ScopeExit.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tarnwick {
namespace {

// A guard that counts how often it ran, made by a function as the tests'
// restoring helpers make theirs.
auto counting(int &runs) {
  return ScopeExit([&runs] { ++runs; });
}

TEST(ScopeExitTest, RunsOnceHoweverTheScopeEnds) {
  int runs = 0;
  { const auto guard = counting(runs); }
  EXPECT_EQ(runs, 1);
  try {
    const auto guard = counting(runs);
    throw std::runtime_error("leaving by an exception");
  } catch (const std::runtime_error &) {
  }
  EXPECT_EQ(runs, 2);
  {
    auto first = counting(runs);
    const auto second = std::move(first); // the one moved from runs nothing
  }
  EXPECT_EQ(runs, 3);
}

} // namespace
} // namespace tarnwick
