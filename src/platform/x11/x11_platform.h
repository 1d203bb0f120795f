// The platform layer on X11.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace kelvado {

// Needs a running QGuiApplication on the xcb platform: it shares the toolkit's X connection.
std::unique_ptr<Platform> makeX11Platform();

}  // namespace kelvado
