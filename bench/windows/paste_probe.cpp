// Times the program's paste into Notepad under Wine, inside one clock: presses the left button
// on the copy panel (through the system's input queue, as a mouse would) and waits until
// Notepad's text has grown by the date.
//
//   paste_probe MAIN_TITLE PANEL_X PANEL_Y COUNT
//
// PANEL_X, PANEL_Y: the copy panel's centre in the main window's client pixels. Each round puts
// Notepad in front, waits 0.7 s (the program's 500 ms look at the foreground window), presses,
// and prints "paste_ms=<ms> landed=<0|1>"; Notepad's text is then cleared for the next round.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kTimeoutMs = 3000;
constexpr DWORD kTargetNoticeMs = 700;

std::wstring textOf(HWND window) {
  const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

double nowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void button(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fputs("usage: paste_probe MAIN_TITLE PANEL_X PANEL_Y COUNT\n", stderr);
    return 2;
  }
  HWND program = FindWindowW(nullptr, argv[1]);
  HWND notepad = FindWindowW(L"Notepad", nullptr);
  HWND edit = notepad ? FindWindowExW(notepad, nullptr, L"Edit", nullptr) : nullptr;
  if (!program || !edit) {
    std::fputs("paste_probe: the program's window or Notepad is missing\n", stderr);
    return 1;
  }
  POINT panel{std::wcstol(argv[2], nullptr, 10), std::wcstol(argv[3], nullptr, 10)};
  ClientToScreen(program, &panel);
  const std::wstring date = argv[1];
  const int count = std::wcstol(argv[4], nullptr, 10);
  for (int round = 0; round < count; ++round) {
    SetForegroundWindow(notepad);
    Sleep(kTargetNoticeMs);
    SetCursorPos(panel.x, panel.y);
    const double start = nowMs();
    button(MOUSEEVENTF_LEFTDOWN);
    double landedAt = -1;
    while (nowMs() - start < kTimeoutMs) {
      if (!textOf(edit).empty()) {
        landedAt = nowMs();
        break;
      }
      Sleep(0);
    }
    // A hand holds the button a little longer than the paste takes.
    Sleep(80);
    button(MOUSEEVENTF_LEFTUP);
    const std::wstring landed = textOf(edit);
    const bool right = landed == date;
    if (!right) std::fwprintf(stderr, L"paste_probe: Notepad holds [%ls]\n", landed.c_str());
    std::printf("paste_ms=%.2f landed=%d\n", landedAt < 0 ? -1.0 : landedAt - start, right ? 1 : 0);
    std::fflush(stdout);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  }
  return 0;
}
