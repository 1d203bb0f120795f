// Windows: the plain Win32 backend with the Win32 platform layer.
#include <windows.h>

#include <cstdlib>

#include "framework/win32/win32_backend.h"
#include "platform/win32/win32_platform.h"
#include "toolkit.h"
#include "win32/wide_text.h"

namespace kelvado {

Toolkit makeToolkit(const char* /*argv0*/) {
  Toolkit toolkit;
  try {
    toolkit.backend = std::make_unique<win32::Win32Backend>();
    toolkit.platform = win32::makeWin32Platform();
  } catch (const Error& e) {
    // Nothing of the program is up yet: the error shows in the default error display's manner,
    // under the program's name, and the program ends.
    MessageBoxW(nullptr, win32::widen(errorDisplayText(e.what())).c_str(), L"ケルバド", MB_OK | MB_ICONSTOP);
    std::exit(1);
  }
  return toolkit;
}

}  // namespace kelvado
