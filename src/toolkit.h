// What the entry needs from the build's chosen backend and platform.
#pragma once

#include <memory>

#include "framework/framework.h"
#include "platform/platform.h"

namespace kelvado {

struct Toolkit {
  std::unique_ptr<Backend> backend;
  std::unique_ptr<Platform> platform;
};

// Brings up the windowing toolkit and the platform layer. Reports a clear message and ends
// the process when there is no usable display.
Toolkit makeToolkit(const char* argv0);

}  // namespace kelvado
