// The platform layer on X11.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace kelvado {

// Needs a running QGuiApplication on the xcb platform: it shares the toolkit's X connection.
// Throws Error, with a message fit for the user, when the toolkit has no X11 connection
// (another platform plugin, for example a Wayland session without XWayland).
std::unique_ptr<Platform> makeX11Platform();

}  // namespace kelvado
