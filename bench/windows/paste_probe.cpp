// Times the program's paste into Notepad under Wine, inside one clock: presses the left button
// on the copy panel, or the paste shortcut Ctrl+Alt+D (through the system's input queue, as a
// mouse or a keyboard would), and waits until Notepad's text has grown by the date.
//
//   paste_probe MAIN_TITLE PANEL_X PANEL_Y COUNT
//
// PANEL_X, PANEL_Y: the copy panel's centre in the main window's client pixels. Each round puts
// Notepad in front, waits 0.7 s (the program's 500 ms look at the foreground window), clicks,
// then does the same with the shortcut (the two in turns, one first, then the other), and
// prints "path=<click|shortcut> paste_ms=<ms> after_release_ms=<ms> landed=<0|1>" for each; the
// button or keys are let go 90 ms after the press. Notepad's text is cleared after each.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kTimeoutMs = 3000;
constexpr DWORD kTargetNoticeMs = 700;
constexpr double kHoldMs = 90;

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

void key(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

struct Timing {
  double pasteMs = -1;
  double afterReleaseMs = -1;
};

// Presses, lets go after kHoldMs, and times the date's arrival in the edit control from both.
template <typename Press, typename Release>
Timing timePaste(HWND edit, Press press, Release release) {
  const double start = nowMs();
  press();
  double releasedAt = -1;
  double landedAt = -1;
  while (nowMs() - start < kTimeoutMs) {
    if (releasedAt < 0 && nowMs() - start >= kHoldMs) {
      release();
      releasedAt = nowMs();
    }
    if (!textOf(edit).empty()) {
      landedAt = nowMs();
      break;
    }
    Sleep(0);
  }
  if (releasedAt < 0) {
    while (nowMs() - start < kHoldMs) Sleep(1);
    release();
    releasedAt = nowMs();
  }
  if (landedAt < 0) return {};
  return {landedAt - start, landedAt - releasedAt};
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
    for (int turn = 0; turn < 2; ++turn) {
      const bool shortcut = (round + turn) % 2 == 1;
      SetForegroundWindow(notepad);
      Sleep(kTargetNoticeMs);
      Timing timing;
      if (shortcut) {
        // The modifiers go down first, as a hand presses them before the key.
        key(VK_CONTROL, false);
        key(VK_MENU, false);
        Sleep(30);
        timing = timePaste(
            edit, [] { key('D', false); },
            [] {
              key('D', true);
              key(VK_MENU, true);
              key(VK_CONTROL, true);
            });
      } else {
        SetCursorPos(panel.x, panel.y);
        timing = timePaste(
            edit, [] { button(MOUSEEVENTF_LEFTDOWN); }, [] { button(MOUSEEVENTF_LEFTUP); });
      }
      const std::wstring landed = textOf(edit);
      const bool right = landed == date;
      if (!right) std::fwprintf(stderr, L"paste_probe: Notepad holds [%ls]\n", landed.c_str());
      std::printf("path=%s paste_ms=%.2f after_release_ms=%.2f landed=%d\n", shortcut ? "shortcut" : "click",
                  timing.pasteMs, timing.afterReleaseMs, right ? 1 : 0);
      std::fflush(stdout);
      SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    }
  }
  return 0;
}
