// The Win32 platform layer against a real user32 (Wine's, under the test wrapper): windows of
// the test's own as targets, the real clipboard, keys through the system's input queue.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "win32/wide_text.h"

namespace kelvado::win32 {
namespace {

using namespace std::chrono_literals;

WindowId idOf(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

// Handles the messages sent to this thread's windows for up to the given time.
void pump(std::chrono::milliseconds time) {
  const auto end = std::chrono::steady_clock::now() + time;
  MSG message;
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(1);
  }
}

// What a window of ours hears from the keyboard, as "down 17", "up 86", ...
std::vector<std::string> keysHeard;

LRESULT CALLBACK recordKeys(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_KEYDOWN || message == WM_KEYUP) {
    std::string key = (message == WM_KEYDOWN ? "down " : "up ") + std::to_string(w);
    // Ctrl+V is V pressed while Ctrl is held, as the target sees it.
    if (message == WM_KEYDOWN && w == 'V' && GetKeyState(VK_CONTROL) < 0) key += " with ctrl";
    keysHeard.push_back(key);
  }
  return DefWindowProcW(window, message, w, l);
}

HWND makeWindow(const wchar_t* title) {
  static const ATOM windowClass = [] {
    WNDCLASSW c{};
    c.lpfnWndProc = recordKeys;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"KelvadoPlatformTest";
    return RegisterClassW(&c);
  }();
  return CreateWindowExW(0, MAKEINTATOM(windowClass), title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Made once per test program and kept until it ends.
HWND ownWindow() {
  static HWND window = makeWindow(L"own");
  return window;
}

// A window on a thread of its own, as a target in another program would be.
HWND foreignWindow() {
  static HWND window = [] {
    std::promise<HWND> made;
    std::thread([&made] {
      made.set_value(makeWindow(L"foreign"));
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    }).detach();
    return made.get_future().get();
  }();
  return window;
}

// Wine's own clipboard manager opens the clipboard now and then, as other programs may.
bool openClipboard(HWND owner) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

std::string clipboardText() {
  std::string text;
  if (!openClipboard(nullptr)) return "(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = narrow(static_cast<const wchar_t*>(GlobalLock(data)));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(Win32Platform, BringsWindowsToTheFrontAndSkipsClosedOnes) {
  const auto platform = makeWin32Platform();
  HWND closed =
      CreateWindowExW(0, L"STATIC", L"closed", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(closed);
  for (HWND target : {foreignWindow(), ownWindow(), foreignWindow()}) {
    platform->bringToFront(idOf(target));
    // Returns only once the target has the foreground, without any pumping by the caller.
    EXPECT_EQ(platform->foregroundWindow(), idOf(target));
  }
  // Closed, or none at all: skipped, the foreground stays where it is.
  platform->bringToFront(idOf(closed));
  platform->bringToFront(0);
  EXPECT_EQ(platform->foregroundWindow(), idOf(foreignWindow()));
  // A minimised target comes back to where it was.
  ShowWindow(ownWindow(), SW_MINIMIZE);
  platform->bringToFront(idOf(ownWindow()));
  EXPECT_FALSE(IsIconic(ownWindow()));
  EXPECT_EQ(platform->foregroundWindow(), idOf(ownWindow()));
}

// Every window of this process is its own, on whichever thread; the desktop's, a closed one and
// none are not.
TEST(Win32Platform, TellsItsOwnWindowsFromOthers) {
  const auto platform = makeWin32Platform();
  HWND closed =
      CreateWindowExW(0, L"STATIC", L"closed", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(closed);
  EXPECT_TRUE(platform->isOwnWindow(idOf(ownWindow())));
  EXPECT_TRUE(platform->isOwnWindow(idOf(foreignWindow())));
  EXPECT_FALSE(platform->isOwnWindow(idOf(GetDesktopWindow())));
  EXPECT_FALSE(platform->isOwnWindow(idOf(closed)));
  EXPECT_FALSE(platform->isOwnWindow(0));
}

TEST(Win32Platform, SendsCtrlVInItsOrderToTheFocusedWindow) {
  const auto platform = makeWin32Platform();
  platform->bringToFront(idOf(ownWindow()));
  SetFocus(ownWindow());
  keysHeard.clear();
  platform->sendCtrlV();
  pump(200ms);
  EXPECT_EQ(keysHeard, (std::vector<std::string>{"down 17", "down 86 with ctrl", "up 17", "up 86"}));
}

TEST(Win32Platform, PutsUnicodeTextAndItsLocaleOnTheClipboardEvenWhenItWasBusyForAMoment) {
  const auto platform = makeWin32Platform();
  const UINT otherFormat = RegisterClipboardFormatW(L"KelvadoTestFormat");
  ASSERT_TRUE(openClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(otherFormat, GlobalAlloc(GMEM_MOVEABLE, 4));
  CloseClipboard();

  platform->setClipboardText("2003年04月07日(月)");
  EXPECT_EQ(clipboardText(), "2003年04月07日(月)");
  EXPECT_FALSE(IsClipboardFormatAvailable(otherFormat));
  // With the user's locale, so that programs reading ANSI text get the user's code page.
  ASSERT_TRUE(openClipboard(nullptr));
  if (HANDLE locale = GetClipboardData(CF_LOCALE)) {
    EXPECT_EQ(*static_cast<const LCID*>(GlobalLock(locale)), GetUserDefaultLCID());
    GlobalUnlock(locale);
  } else {
    ADD_FAILURE() << "no locale with the text";
  }
  CloseClipboard();

  // Another program holds the clipboard open for 50 ms.
  HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([opened] {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    openClipboard(window);
    SetEvent(opened);
    Sleep(50);
    CloseClipboard();
    DestroyWindow(window);
  });
  WaitForSingleObject(opened, INFINITE);
  platform->setClipboardText("令和");
  holder.join();
  CloseHandle(opened);
  EXPECT_EQ(clipboardText(), "令和");
}

TEST(Win32Platform, ListsTheMonitorsWithTheirFullBounds) {
  const std::vector<MonitorRect> monitors = makeWin32Platform()->monitors();
  ASSERT_FALSE(monitors.empty());
  for (const MonitorRect& m : monitors) {
    EXPECT_LT(m.left, m.right);
    EXPECT_LT(m.top, m.bottom);
  }
  // The primary monitor's full bounds, taskbar included.
  const MonitorRect primary{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  EXPECT_NE(std::find(monitors.begin(), monitors.end(), primary), monitors.end());
}

// Japanese folders and the settings file beside the program are proven end to end.
TEST(Win32Platform, FindsItsExecutable) {
  const std::string path = makeWin32Platform()->executablePath();
  EXPECT_TRUE(path.ends_with("\\platform_tests.exe")) << path;
  EXPECT_EQ(GetFileAttributesW(widen(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

}  // namespace
}  // namespace kelvado::win32
