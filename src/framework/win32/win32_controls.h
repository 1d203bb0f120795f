// The native windows behind a window definition's controls, one kind each: standard controls
// (edit, combo box, button, date picker) subclassed, and two small classes of our own for labels
// and panels, which draw exactly what the definitions ask for.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/framework.h"
#include "framework/win32/win32_shared.h"

namespace kelvado::win32 {

// Keyboard focus goes to these kinds only; the definition's tab stops among them take Tab.
// A control's peer exists as long as its form's; its window only once the form's window is made
// (see Win32FormPeer). Until then the control alone holds its state, and the window shows all of
// it when it is made.
class Win32ControlPeer : public ControlPeer {
 public:
  static std::unique_ptr<Win32ControlPeer> make(Control& control, Shared& shared);

  Win32ControlPeer(Control& control, Shared& shared) : control_(control), shared_(shared) {}
  ~Win32ControlPeer() override;
  Win32ControlPeer(const Win32ControlPeer&) = delete;
  Win32ControlPeer& operator=(const Win32ControlPeer&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Makes the window under `parent` (the form or a panel), with child id `id`, at `bounds` in the
  // window's font at `dpi`, showing the control's state and forwarding the user's input to it.
  void create(HWND parent, int id, const RECT& bounds, HFONT font, UINT dpi);

  void update(ControlProperty what) override;

  // Puts the control at `bounds` (its parent's client pixels) in the window's font at `dpi`.
  virtual void place(const RECT& bounds, HFONT font, UINT dpi);

  // Hands a message that a parent window received about one of its children (commands,
  // notifications, owner drawing, colours) to that child's peer. False: not ours to answer.
  static bool reflect(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // The peer behind one of our control windows, or null.
  static Win32ControlPeer* of(HWND window);

 protected:
  // The kind's window, made with createWindow where it will be placed, and what it needs before
  // it is placed.
  virtual void makeWindow(HWND parent, int id, const RECT& at) = 0;
  // Creates the window at `at`; standard classes are subclassed so that presses reach the control.
  void createWindow(const wchar_t* windowClass, DWORD style, DWORD exStyle, HWND parent, int id, const RECT& at);

  // The kind's own handling of its window's messages; the default is the class's own.
  virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
  // The kind's answer to a message its parent reflected to it.
  virtual bool reflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // For a control that leaves the activation alone: its window cannot be activated while the
  // pointer is over it.
  void keepActivationWhilePointerIsOver(bool over);
  // The properties that only some kinds have; the text is the window's text unless a kind
  // shows it otherwise.
  virtual void refresh(ControlProperty what);

  // Our own classes (labels, panels) come here; standard classes through a subclass.
  static LRESULT CALLBACK ownClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  COLORREF background() const { return colorRef(control_.color()); }
  COLORREF foreground() const;

  Control& control_;
  Shared& shared_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  UINT dpi_ = kDesignDpi;

 private:
  static LRESULT CALLBACK subclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self);
  LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void detach();

  HBRUSH brush_ = nullptr;
  bool subclassed_ = false;
};

}  // namespace kelvado::win32
