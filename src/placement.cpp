#include "placement.h"

#include <algorithm>
#include <cstdint>

#include "framework/framework.h"

namespace kelvado {

Rect placedWithinMonitors(const Rect& window, const std::vector<MonitorRect>& monitors) {
  // Sums in 64 bits: a position read from a hand-edited file may be near the 32-bit limit,
  // and a wrapped sum would leave such a window off every monitor.
  std::int64_t totalWidth = 0;
  std::int64_t maxHeight = 0;
  for (const MonitorRect& m : monitors) {
    totalWidth += std::int64_t{m.right} - m.left;
    maxHeight = std::max(maxHeight, std::int64_t{m.bottom} - m.top);
  }
  Rect placed = window;
  if (std::int64_t{window.left} + window.width > totalWidth) placed.left = kPlacementFallback;
  if (std::int64_t{window.top} + window.height > maxHeight) placed.top = kPlacementFallback;
  // The rule above never looks at the left and top edges, so a window saved on a monitor that
  // was on the left or above and is gone would stay where no one can see it. Such a window comes
  // back on each axis on which it is beside every monitor, and to (50, 50) when it lies in a gap
  // between monitors; a window that any monitor shows, however little of it, stays.
  const auto overlaps = [](std::int64_t from, std::int64_t length, std::int64_t begin, std::int64_t end) {
    return from < end && from + length > begin;
  };
  const auto shown = [&](const Rect& r, bool alongX, bool alongY) {
    return std::ranges::any_of(monitors, [&](const MonitorRect& m) {
      return (!alongX || overlaps(r.left, r.width, m.left, m.right)) &&
             (!alongY || overlaps(r.top, r.height, m.top, m.bottom));
    });
  };
  if (monitors.empty() || shown(placed, true, true)) return placed;
  if (!shown(placed, true, false)) placed.left = kPlacementFallback;
  if (!shown(placed, false, true)) placed.top = kPlacementFallback;
  if (!shown(placed, true, true)) placed.left = placed.top = kPlacementFallback;
  return placed;
}

void monitanai(Form& form, const std::vector<MonitorRect>& monitors) {
  // All four bounds are read before either move.
  const Rect bounds{form.left(), form.top(), form.width(), form.height()};
  const Rect placed = placedWithinMonitors(bounds, monitors);
  if (placed.left != bounds.left) form.setLeft(placed.left);
  if (placed.top != bounds.top) form.setTop(placed.top);
}

}  // namespace kelvado
