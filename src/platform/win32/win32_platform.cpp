// The platform layer on Windows, over user32 and kernel32, Unicode throughout.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "win32/wide_text.h"

namespace kelvado::win32 {
namespace {

// How long a paste waits for the target to become the foreground window. Activation normally
// takes a few milliseconds; a target that never comes must not freeze the window for long.
constexpr DWORD kActivationWaitMs = 300;
constexpr DWORD kForegroundPollMs = 1;

// Another program may hold the clipboard open for a moment (a clipboard viewer reading it).
constexpr int kClipboardAttempts = 10;
constexpr DWORD kClipboardRetryMs = 10;

// A module path is at most 32767 characters; one doubling past that is the most we try.
constexpr DWORD kLongestModulePath = 65536;

HWND handleOf(WindowId id) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id)); }

WindowId idOf(HWND window) { return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(window)); }

INPUT key(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  // Programs that read the scan code (terminals, remote desktops) see the real key.
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

// Movable global memory holding a copy of the bytes, as the clipboard takes them; null when
// there is no memory.
HGLOBAL globalCopy(const void* bytes, std::size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  void* data = memory != nullptr ? GlobalLock(memory) : nullptr;
  if (data == nullptr) {
    if (memory != nullptr) GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(data, bytes, size);
  GlobalUnlock(memory);
  return memory;
}

// The virtual key of a shortcut's key name, as parseShortcut spells them; 0 for none.
UINT virtualKey(const std::string& key) {
  if (key.size() == 1) return static_cast<UINT>(key[0]);  // 'A'..'Z' and '0'..'9' are their own codes
  if (key[0] == 'F') return VK_F1 + static_cast<UINT>(std::stoi(key.substr(1)) - 1);
  static const std::pair<const char*, UINT> kNamed[] = {
      {"Space", VK_SPACE}, {"Insert", VK_INSERT}, {"Delete", VK_DELETE}, {"Home", VK_HOME},
      {"End", VK_END},     {"PageUp", VK_PRIOR},  {"PageDown", VK_NEXT}};
  for (const auto& [name, code] : kNamed)
    if (key == name) return code;
  return 0;
}

// The shortcut's presses arrive at a message-only window of its own.
constexpr const wchar_t* kShortcutClass = L"KelvadoShortcut";
constexpr int kShortcutId = 1;

LRESULT CALLBACK shortcutProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HOTKEY && wParam == kShortcutId) {
    if (auto* pressed = reinterpret_cast<std::function<void()>*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
      (*pressed)();
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// How long a shortcut's paste waits for the user's hand to leave the modifiers.
constexpr ULONGLONG kModifierWaitMs = 1000;
constexpr DWORD kModifierPollMs = 5;

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    reinterpret_cast<std::vector<MonitorRect>*>(list)->push_back({r.left, r.top, r.right, r.bottom});
  }
  return TRUE;
}

class Win32Platform : public Platform {
 public:
  ~Win32Platform() override {
    if (shortcutWindow_ != nullptr) DestroyWindow(shortcutWindow_);
    if (clipboardOwner_ != nullptr) DestroyWindow(clipboardOwner_);
  }

  ShortcutStatus registerShortcut(const Shortcut& shortcut, std::function<void()> pressed) override {
    const UINT key = virtualKey(shortcut.key);
    if (key == 0) return ShortcutStatus::Unsupported;
    if (shortcutWindow_ == nullptr) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = shortcutProcedure;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = kShortcutClass;
      RegisterClassExW(&wc);
      shortcutWindow_ =
          CreateWindowExW(0, kShortcutClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
      if (shortcutWindow_ == nullptr) return ShortcutStatus::Unsupported;
    }
    const UINT modifiers = (shortcut.ctrl ? MOD_CONTROL : 0) | (shortcut.alt ? MOD_ALT : 0) |
                           (shortcut.shift ? MOD_SHIFT : 0) | (shortcut.win ? MOD_WIN : 0) | MOD_NOREPEAT;
    if (!RegisterHotKey(shortcutWindow_, kShortcutId, modifiers, key)) return ShortcutStatus::Taken;
    shortcutPressed_ = std::move(pressed);
    SetWindowLongPtrW(shortcutWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&shortcutPressed_));
    return ShortcutStatus::Registered;
  }

  void waitForModifiersUp() override {
    const auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    const ULONGLONG deadline = GetTickCount64() + kModifierWaitMs;
    while ((down(VK_CONTROL) || down(VK_MENU) || down(VK_SHIFT) || down(VK_LWIN) || down(VK_RWIN)) &&
           GetTickCount64() < deadline)
      Sleep(kModifierPollMs);
  }

  WindowId foregroundWindow() override { return idOf(GetForegroundWindow()); }

  // Any window of this process: our message boxes, menus and tooltips included.
  bool isOwnWindow(WindowId id) override {
    DWORD process = 0;
    return id != 0 && GetWindowThreadProcessId(handleOf(id), &process) != 0 && process == GetCurrentProcessId();
  }

  void bringToFront(WindowId id) override {
    const HWND target = handleOf(id);
    if (id == 0 || !IsWindow(target)) return;
    // Asynchronously: a target that hangs must not hang us.
    if (IsIconic(target)) ShowWindowAsync(target, SW_RESTORE);
    // Refused (another program holds the foreground lock): nothing would come of waiting.
    if (!SetForegroundWindow(target)) return;
    // The foreground changes once the target's thread has taken the activation; keys sent
    // before then go to whichever window still has the focus (often our own).
    const ULONGLONG deadline = GetTickCount64() + kActivationWaitMs;
    while (GetForegroundWindow() != target && GetTickCount64() < deadline) {
      // The activation sends our windows messages and waits for them: answer while we wait.
      MsgWaitForMultipleObjectsEx(0, nullptr, kForegroundPollMs, QS_SENDMESSAGE, 0);
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }

  void sendCtrlV() override {
    // One call, so that nothing else is typed between them and Ctrl is never left down.
    INPUT keys[] = {key(VK_CONTROL, false), key('V', false), key(VK_CONTROL, true), key('V', true)};
    SendInput(static_cast<UINT>(std::size(keys)), keys, sizeof(INPUT));
  }

  void setClipboardText(const std::string& text) override {
    const std::wstring wide = widen(text);
    HGLOBAL memory = globalCopy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    if (memory == nullptr) return;
    // Without an owner window, EmptyClipboard leaves no owner and SetClipboardData fails.
    if (clipboardOwner_ == nullptr)
      clipboardOwner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool open = false;
    for (int attempt = 0; attempt < kClipboardAttempts && !(open = OpenClipboard(clipboardOwner_)); ++attempt)
      Sleep(kClipboardRetryMs);
    // A clipboard that stays busy keeps what it held: the paste then pastes that.
    if (open && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr) {
      memory = nullptr;
      // Programs that read only ANSI text get it in the user's code page (Shift-JIS on a Japanese
      // system), not in that of whatever keyboard layout is active when they paste.
      const LCID locale = GetUserDefaultLCID();
      if (HGLOBAL l = globalCopy(&locale, sizeof locale); l != nullptr && SetClipboardData(CF_LOCALE, l) == nullptr)
        GlobalFree(l);
    }
    if (open) CloseClipboard();
    if (memory != nullptr) GlobalFree(memory);
  }

  std::vector<MonitorRect> monitors() override {
    std::vector<MonitorRect> list;
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&list));
    return list;
  }

  std::string executablePath() override {
    // The path has no length limit of its own: grow the buffer until the whole of it fits.
    for (DWORD size = MAX_PATH; size <= kLongestModulePath; size *= 2) {
      std::wstring path(size, L'\0');
      const DWORD n = GetModuleFileNameW(nullptr, path.data(), size);
      if (n == 0) break;
      if (n < size) {
        path.resize(n);
        return narrow(path);
      }
    }
    throw Error("実行ファイルの場所が分かりません");
  }

  LocalDateTime localNow() override {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
  }

 private:
  HWND clipboardOwner_ = nullptr;
  HWND shortcutWindow_ = nullptr;
  std::function<void()> shortcutPressed_;
};

}  // namespace

std::unique_ptr<Platform> makeWin32Platform() { return std::make_unique<Win32Platform>(); }

}  // namespace kelvado::win32
