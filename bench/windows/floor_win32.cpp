// The Windows floor: the least a Win32 program does to show a window the size of the program's
// main window whose caption and only label are the date text, built with the same toolchain.
// The label draws its text, so the fonts are loaded, as for any window that shows text.
//   floor_win32 TEXT
// Built a second time as floor_win32_controls, with the themed common controls (the manifest
// and InitCommonControlsEx for the date classes): what any program with a date picker loads.
#include <windows.h>
#ifdef KELVADO_FLOOR_COMMON_CONTROLS
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR title, int) {
#ifdef KELVADO_FLOOR_COMMON_CONTROLS
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES};
  InitCommonControlsEx(&controls);
#endif
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"floor";
  RegisterClassW(&windowClass);
  RECT frame{0, 0, 250, 23};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_TOPMOST);
  HWND window = CreateWindowExW(WS_EX_TOPMOST, L"floor", title, style, 0, 0, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  CreateWindowExW(0, L"STATIC", title, WS_CHILD | WS_VISIBLE, 0, 0, 250, 23, window, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
