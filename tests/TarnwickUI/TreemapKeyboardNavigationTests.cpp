#include "TarnwickUI/TreemapKeyboardNavigation.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tarnwick {
namespace {

using Direction = TreemapKeyboardNavigation::Direction;

// A squarified-looking canvas of 300 x 200:
//   +-------+----+----+
//   |       | 1  | 2  |
//   |   0   +----+----+
//   |       |    3    |
//   +---+---+----+----+
//   | 4 |   5         |
//   +---+-------------+
TEST(TreemapKeyboardNavigationTest, ArrowsGoToTheNearestTileBeyondTheEdge) {
  const std::vector<CanvasRect> frames{{0, 0, 150, 150},  {150, 0, 75, 75}, {225, 0, 75, 75},
                                       {150, 75, 150, 75}, {0, 150, 60, 50}, {60, 150, 240, 50}};
  struct Case {
    std::size_t from;
    Direction direction;
    std::optional<std::size_t> to;
  };
  for (auto [from, direction, to] : {
           Case{0, Direction::right, 1}, // 1 and 3 both touch it, as near: the first laid out
           Case{2, Direction::right, std::nullopt}, // the canvas's edge
           Case{0, Direction::left, std::nullopt},
           Case{1, Direction::down, 3},
           Case{3, Direction::left, 0}, // not 4, which is further and off to the side
           Case{3, Direction::down, 5},
           Case{0, Direction::down, 4}, // 4 and 5 both touch it: 4's centre is nearer
           Case{5, Direction::up, 3},   // 0 and 3 both touch it: 3's centre is nearer
           Case{4, Direction::up, 0},
       }) {
    EXPECT_EQ(TreemapKeyboardNavigation::neighbour(frames, from, direction), to)
        << "from " << from << " direction " << int(direction);
  }
  EXPECT_FALSE(TreemapKeyboardNavigation::neighbour(frames, 6, Direction::left));
}

} // namespace
} // namespace tarnwick
