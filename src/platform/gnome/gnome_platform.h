// The platform layer on GNOME Shell's Wayland desktop, for the program's windows on XWayland.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace kelvado {

// Where GNOME Shell runs the session (its name on the session bus), a platform that pastes
// through the shell extension installed with the program, into native and X11 windows alike,
// taking x11 for the rest. Without the extension, or when it refuses this copy of the program,
// the X11 platform pastes as well as it can and the platform says what is missing, on standard
// error at once and to the user after the first click (at start, with a shortcut set). Elsewhere
// null, and x11 is left as it is.
std::unique_ptr<Platform> makeGnomePlatform(std::unique_ptr<Platform>& x11);

// The shortcut as the shell's accelerators spell it: "<Control><Alt>d".
std::string gnomeAccelerator(const Shortcut& shortcut);

}  // namespace kelvado
