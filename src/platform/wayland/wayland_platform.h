// The platform layer on a Wayland desktop, for the program's windows on XWayland.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace kelvado {

// Wraps the X11 platform so that pastes reach every window on desktops that allow it: the
// foreground window, bringing it back and Ctrl+V go through the route the desktop offers
// (wlroots protocols, KWin's interfaces, the GNOME Shell extension). Returns x11 itself outside
// a Wayland session, and, after one message on standard error, on a desktop that offers no route.
std::unique_ptr<Platform> makeWaylandPlatform(std::unique_ptr<Platform> x11);

}  // namespace kelvado
