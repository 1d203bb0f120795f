// The Windows implementation of Platform.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace kelvado::win32 {

std::unique_ptr<Platform> makeWin32Platform();

}  // namespace kelvado::win32
