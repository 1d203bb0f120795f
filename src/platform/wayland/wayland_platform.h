// The platform layer on a Wayland desktop, for the program's windows on XWayland.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace kelvado {

// Wraps the X11 platform so that pastes also reach native Wayland windows: the foreground
// window and bringing it back go through the compositor's toplevel list, Ctrl+V into a native
// window through its virtual keyboard. Everything else stays with the X11 platform. Returns x11
// itself outside a Wayland session. On a compositor that lacks what this needs, the next route
// the desktop offers (GNOME Shell's), or else x11 after one message on standard error.
std::unique_ptr<Platform> makeWaylandPlatform(std::unique_ptr<Platform> x11);

}  // namespace kelvado
