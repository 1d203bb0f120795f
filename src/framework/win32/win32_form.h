// A window built from its definition: a top-level window with the definition's controls, every
// designed pixel scaled to the window's DPI. The window and its controls are made when first
// needed (shown, asked for its handle or its place), so that windows the program creates hidden
// cost nothing at start-up; until then the form and its controls hold all there is to show.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/framework.h"
#include "framework/win32/win32_controls.h"
#include "framework/win32/win32_shared.h"

namespace kelvado::win32 {

class Win32FormPeer final : public FormPeer {
 public:
  Win32FormPeer(Form& form, Shared& shared);
  ~Win32FormPeer() override;
  Win32FormPeer(const Win32FormPeer&) = delete;
  Win32FormPeer& operator=(const Win32FormPeer&) = delete;

  // The peer of one of our top-level windows, or null for any other window.
  static Win32FormPeer* of(HWND window);

  // Null until the window is made.
  HWND hwnd() const { return hwnd_; }
  // The control's own peer, or null for a control without a window.
  Win32ControlPeer* nativeControl(int index) const { return controls_.at(static_cast<std::size_t>(index)).get(); }
  // The control's window, made now with the form's if need be; null for a control without one.
  HWND controlWindow(int index);

  ControlPeer* controlPeer(int index) override { return nativeControl(index); }
  void setCaption(const std::string& caption) override;
  void setStayOnTop(bool on) override;
  void setVisible(bool visible) override;
  void bringToFront() override;
  WindowId windowId() override;
  Rect outerBounds() const override;
  void moveTo(int left, int top) override;

  // Tab and Shift+Tab: the focus goes round the definition's tab stops in their tab order.
  // False when the window has no tab stop to go to.
  bool focusNext(HWND from, bool backwards);

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  // Makes the window if it is not made yet; returns it.
  HWND window();
  void makeWindow();
  void makeControls();
  void useDpi(UINT dpi);
  // The window's outer rectangle around the designed client area at `dpi`.
  RECT designedOuter(UINT dpi) const;
  void sizeClientAsDesigned();
  RECT boundsOf(int index) const;
  void placeBeforeShow();
  void appendTabStops(int parent, std::vector<HWND>& order) const;
  bool focusOnActivation();

  Form& form_;
  Shared& shared_;
  HWND hwnd_ = nullptr;
  DWORD style_ = 0;
  DWORD exStyle_ = 0;
  UINT dpi_ = kDesignDpi;
  HFONT font_ = nullptr;
  std::vector<std::unique_ptr<Win32ControlPeer>> controls_;
  RECT restored_{};           // where the window is when it is not minimised
  HWND lastFocus_ = nullptr;  // the control that had the keyboard focus when the window lost it
  bool controlsMade_ = false;
  bool shownBefore_ = false;
  bool moved_ = false;
};

}  // namespace kelvado::win32
