// What the Win32 backend's windows share: the application they report to, the icons, the one
// tooltip control, the error barrier around every window procedure, colours and DPI scaling.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/framework.h"

namespace kelvado::win32 {

// The pixels per inch the windows were designed at; every designed pixel is scaled from it.
inline constexpr UINT kDesignDpi = 96;

inline int scaled(int designPixels, UINT dpi) { return MulDiv(designPixels, static_cast<int>(dpi), kDesignDpi); }

// $00BBGGRR is a COLORREF already; with the top bit set the low byte is a system colour index.
inline COLORREF colorRef(TColor color) {
  const auto bits = static_cast<std::uint32_t>(color);
  return (bits & 0x80000000u) ? GetSysColor(static_cast<int>(bits & 0xFF)) : static_cast<COLORREF>(bits & 0xFFFFFF);
}

// The texts of the errors the backend raises itself.
inline constexpr const char* kNeedsCommonControls =
    "このコントロールはバージョンが 4.70 以降の COMCTL32.DLL を必要とします。";
inline constexpr const char* kNoTimer = "タイマーを取得できません";

// Our window classes, registered once per process.
inline constexpr const wchar_t* kFormClass = L"KelvadoForm";
inline constexpr const wchar_t* kLabelClass = L"KelvadoLabel";
inline constexpr const wchar_t* kPanelClass = L"KelvadoPanel";
inline constexpr const wchar_t* kTimerClass = L"KelvadoTimers";

// One window class of ours; the first call registers it, later calls find it registered. Top-level
// windows take the application icon from their class, so that the system sets it up once, with
// the window: the program's icon resource, or else `icon` drawn.
void registerClass(const wchar_t* name, WNDPROC procedure, UINT style, XpmImage icon = {});

class Shared {
 public:
  Shared();
  ~Shared();
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;

  HINSTANCE instance() const { return instance_; }

  // The application the windows report errors to: the first form's.
  Application* application = nullptr;
  // The first form made: it owns the message boxes when no window of ours is active.
  HWND mainWindow = nullptr;
  // What the main window does when the desktop session ends.
  std::function<void()> endSession;
  // A top-level window that is never shown, made on first need, to own the windows that must
  // have no taskbar button of their own.
  HWND hiddenOwner();

  // Hints: one tooltip control for every window. It is made when the pointer first moves over a
  // control with a hint, so that start-up does not wait for a window nobody may need.
  void addHint(HWND control, const std::string& hint);
  void removeHint(HWND control);
  // The pointer moved over a control with a hint (the control's WM_MOUSEMOVE).
  void pointerOverHint(HWND control, WPARAM wParam, LPARAM lParam);

  // Reports an exception that would otherwise leave a window procedure.
  void reportEscaped(const char* what) noexcept;

 private:
  HINSTANCE instance_;
  HWND tooltip_ = nullptr;
  HWND hiddenOwner_ = nullptr;
  // Hints added before the tooltip was made: the control and its text.
  std::vector<std::pair<HWND, std::wstring>> waitingHints_;
};

// The error barrier: every window procedure of the backend runs its work through here, so that
// no exception ever unwinds through the system's code. What the handlers raise the framework
// has shown already; this catches what would still escape, and the program runs on.
template <class Work>
LRESULT guarded(Shared& shared, Work&& work) noexcept {
  try {
    return work();
  } catch (const std::exception& e) {
    shared.reportEscaped(e.what());
  } catch (...) {
    shared.reportEscaped(nullptr);
  }
  return 0;
}

}  // namespace kelvado::win32
