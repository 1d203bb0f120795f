// What the Win32 backend's tests share with its driver of the backends' contract.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "backend/backend_contract.h"
#include "framework/framework.h"
#include "framework/win32/win32_backend.h"

namespace kelvado::testing {

// Dispatches every message waiting for this thread.
void pumpMessages();

HWND windowOf(Form& form);

// The window's text, with "\n" between lines.
std::string textOf(HWND window);

// What the window draws in its client area.
Drawn render(HWND window);

// The pointer moves over the control, as the user's does before a hint shows.
void pointAt(HWND control);

// The tooltip control that holds a hint for `control`, with the tool filled in; null if none.
HWND tooltipOf(HWND control, TTTOOLINFOW& tool);

}  // namespace kelvado::testing
