#include "placement.h"
#include "framework/framework.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace kelvado {
namespace {

TEST(Placement, BringsBackTheAxisWhoseFarEdgeSticksOutOrThatNoMonitorShows) {
  const std::vector<MonitorRect> one{{0, 0, 1024, 768}};
  const std::vector<MonitorRect> sideBySide{{0, 0, 1280, 1024}, {1280, 0, 2304, 768}};
  const std::vector<MonitorRect> stacked{{0, 0, 1024, 768}, {0, 768, 1024, 1536}};
  const std::vector<MonitorRect> none{};
  const std::vector<MonitorRect> diagonal{{0, 0, 1024, 768}, {1024, 768, 2048, 1536}};
  const struct {
    const std::vector<MonitorRect>& monitors;
    int left, top;
    int placedLeft, placedTop;
  } cases[] = {
      {one, 900, 300, 50, 300},
      {one, 768, 720, 768, 720},  // edges exactly on the extent stay
      {one, 769, 721, 50, 50},
      {one, 0, 0, 0, 0},
      {sideBySide, 2100, 900, 50, 900},
      {sideBySide, 1400, 900, 50, 50},     // below the shorter monitor, where none shows it
      {sideBySide, -800, 100, 50, 100},    // beside every monitor: a monitor on the left is gone
      {sideBySide, -255, -47, -255, -47},  // one pixel on a monitor is enough to stay
      {sideBySide, 100, -48, 100, 50},
      {sideBySide, -300, -300, 50, 50},
      {stacked, 100, 900, 100, 50},
      {stacked, 1500, 100, 50, 100},  // widths are summed even when stacked, but no monitor shows it
      {diagonal, 1100, 100, 50, 50},  // in the gap between two monitors
      {none, 0, 0, 50, 50},
      {none, -256, -48, -256, -48},
      {one, INT_MAX, INT_MAX, 50, 50},  // no wrap-around past the 32-bit limit
  };
  for (const auto& c : cases) {
    const Rect placed = placedWithinMonitors({c.left, c.top, 256, 48}, c.monitors);
    EXPECT_EQ(placed, (Rect{c.placedLeft, c.placedTop, 256, 48})) << c.left << "," << c.top;
  }
}

// A window opened from a window on another monitor goes there, at the same offset, and inside it.
TEST(Placement, AWindowMovesOntoAnotherMonitorAtTheSameOffsetAndInsideIt) {
  const MonitorRect left{0, 0, 1024, 768}, right{1024, 0, 1824, 600};
  EXPECT_EQ(moveOntoMonitor({100, 50, 474, 595}, left, right), (Rect{1124, 5, 474, 595}));
  EXPECT_EQ(moveOntoMonitor({600, 100, 300, 200}, left, right), (Rect{1524, 100, 300, 200}));
  EXPECT_EQ(moveOntoMonitor({1100, 10, 300, 200}, right, left), (Rect{76, 10, 300, 200}));
}

}  // namespace
}  // namespace kelvado
