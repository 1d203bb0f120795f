// Placing the main window back inside the monitors at start, when its saved position lies
// beyond the desktop that is connected now.
#pragma once

#include <vector>

#include "framework/types.h"

namespace kelvado {

class Form;

// The coordinate a window goes to on an axis where it sticks out.
inline constexpr int kPlacementFallback = 50;

// The outer bounds a window gets: the monitors are measured as if they stood in one row from
// x = 0 with their tops at y = 0 (widths summed, the tallest height); a window whose right
// edge passes that width goes to x = 50, one whose bottom edge passes that height to y = 50.
// A window that would then lie wholly outside every monitor comes back to 50 as well, on each
// axis on which no monitor holds any of it, or on both. It keeps its size.
Rect placedWithinMonitors(const Rect& window, const std::vector<MonitorRect>& monitors);

// Moves the form by placedWithinMonitors, from its outer bounds as they are now.
void monitanai(Form& form, const std::vector<MonitorRect>& monitors);

}  // namespace kelvado
