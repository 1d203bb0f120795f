// The Win32 platform layer against a real user32 (Wine's, under the test wrapper): windows of
// the test's own as targets, the real clipboard, keys through the system's input queue.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "win32/wide_text.h"

namespace kelvado::win32 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

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

// Windows are made once per test program and never destroyed: without a window manager, Wine
// waits two seconds for each visible window it unmaps.
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

std::string clipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = narrow(static_cast<const wchar_t*>(GlobalLock(data)));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(Win32Platform, BringsWindowsToTheFrontAndSkipsClosedOnes) {
  const auto platform = makeWin32Platform();
  for (HWND target : {foreignWindow(), ownWindow(), foreignWindow()}) {
    platform->bringToFront(idOf(target));
    // Returns only once the target has the foreground, without any pumping by the caller.
    EXPECT_EQ(platform->foregroundWindow(), idOf(target));
  }
  // A minimised target comes back to where it was.
  ShowWindow(ownWindow(), SW_MINIMIZE);
  platform->bringToFront(idOf(ownWindow()));
  EXPECT_FALSE(IsIconic(ownWindow()));
  EXPECT_EQ(platform->foregroundWindow(), idOf(ownWindow()));
  platform->bringToFront(idOf(foreignWindow()));
  // Closed, or none at all: returns at once and leaves the foreground where it is.
  // Never shown, so that Wine need not wait for it to be unmapped.
  HWND closed = CreateWindowExW(0, L"STATIC", L"closed", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
  DestroyWindow(closed);
  const auto start = std::chrono::steady_clock::now();
  platform->bringToFront(idOf(closed));
  platform->bringToFront(0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
  EXPECT_EQ(platform->foregroundWindow(), idOf(foreignWindow()));
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

TEST(Win32Platform, PutsUnicodeTextOnTheClipboardEvenWhenItWasBusyForAMoment) {
  const auto platform = makeWin32Platform();
  const UINT otherFormat = RegisterClipboardFormatW(L"KelvadoTestFormat");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(otherFormat, GlobalAlloc(GMEM_MOVEABLE, 4));
  CloseClipboard();

  platform->setClipboardText("2003年04月07日(月)");
  EXPECT_EQ(clipboardText(), "2003年04月07日(月)");
  EXPECT_FALSE(IsClipboardFormatAvailable(otherFormat));

  // Another program holds the clipboard open for 50 ms.
  HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([opened] {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    OpenClipboard(window);
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

// Run by the next test from a copy of this program: writes where the copy finds itself.
TEST(Win32Platform, WritesItsPathWhenAsked) {
  wchar_t out[1024];
  if (GetEnvironmentVariableW(L"KELVADO_PATH_OUT", out, 1024) == 0) GTEST_SKIP() << "run by the test below";
  std::ofstream(fs::path(out), std::ios::binary) << makeWin32Platform()->executablePath();
}

TEST(Win32Platform, FindsItsExecutableInAJapaneseFolder) {
  const std::string own = makeWin32Platform()->executablePath();
  EXPECT_TRUE(own.ends_with("\\platform_tests.exe")) << own;

  // A copy in Japanese folders, its path just short of the 260 characters a program can be
  // started from, and three times as long in UTF-8.
  const fs::path temp = fs::temp_directory_path();
  const fs::path top = temp / (L"ケルバド-" + std::to_wstring(GetCurrentProcessId()));
  const std::wstring name(70, L'表');
  const fs::path copy = top / name / name / name / L"テスト.exe";
  fs::create_directories(copy.parent_path());
  fs::copy_file(widen(own), copy, fs::copy_options::overwrite_existing);
  const fs::path out = temp / (L"kelvado-path-" + std::to_wstring(GetCurrentProcessId()));
  SetEnvironmentVariableW(L"KELVADO_PATH_OUT", out.c_str());
  std::wstring command = L"\"" + copy.wstring() + L"\" --gtest_filter=Win32Platform.WritesItsPathWhenAsked";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &startup, &process);
  if (started) {
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  SetEnvironmentVariableW(L"KELVADO_PATH_OUT", nullptr);
  std::string path;
  std::getline(std::ifstream(out, std::ios::binary), path);
  DeleteFileW(out.c_str());
  // The C runtime's calls give up on paths this long; the system's own do not.
  DeleteFileW(copy.c_str());
  for (const fs::path& folder : {top / name / name / name, top / name / name, top / name, top})
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
  ASSERT_TRUE(started) << GetLastError();
  EXPECT_EQ(path, narrow(copy.wstring()));
}

}  // namespace
}  // namespace kelvado::win32
