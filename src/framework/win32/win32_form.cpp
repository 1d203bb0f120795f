#include "framework/win32/win32_form.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "win32/wide_text.h"

namespace kelvado::win32 {

namespace {

// Child window ids: the control's index in its definition from here on, clear of the ids the
// system gives meanings to (IDOK, IDCANCEL, ...).
constexpr int kFirstControlId = 1000;

DWORD styleFor(const FormDef& def) {
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (def.border == BorderStyle::Sizeable) style |= WS_THICKFRAME;
  if (def.border != BorderStyle::Dialog) {
    if (def.minimizeBox) style |= WS_MINIMIZEBOX;
    if (def.maximizeBox) style |= WS_MAXIMIZEBOX;
  }
  return style;
}

// A dialog's frame: no icon in the caption, no minimise or maximise box.
DWORD exStyleFor(const FormDef& def) { return def.border == BorderStyle::Dialog ? WS_EX_DLGMODALFRAME : 0; }

HFONT fontFor(const FontDef& def, UINT dpi) {
  LOGFONTW font{};
  font.lfHeight = -scaled(def.pixelHeight, dpi);
  font.lfCharSet = SHIFTJIS_CHARSET;
  const std::wstring face = widen(def.name);
  wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

Win32FormPeer::Win32FormPeer(Form& form, Shared& shared)
    : form_(form), shared_(shared), style_(styleFor(form.def())), exStyle_(exStyleFor(form.def())) {
  // The first form made is the main window, whose icon is the application's.
  static const bool registered = (registerClass(kFormClass, windowProcedure, 0, form.def().icon), true);
  (void)registered;
  if (!shared.application) shared.application = &form.application();
  const auto& controls = form.def().controls;
  for (std::size_t i = 0; i < controls.size(); ++i)
    controls_.push_back(
        needsNativeControl(controls[i]) ? Win32ControlPeer::make(form.control(static_cast<int>(i)), shared) : nullptr);
}

HWND Win32FormPeer::window() {
  if (!hwnd_) makeWindow();
  return hwnd_;
}

void Win32FormPeer::makeWindow() {
  const FormDef& def = form_.def();
  // Made at its designed place and size for the system's DPI, then sized again if the monitor it
  // is on has another; top-most from the start when it is to stay on top.
  const DWORD exStyle = exStyle_ | (form_.stayOnTop() ? WS_EX_TOPMOST : 0);
  const RECT outer = designedOuter(GetDpiForSystem());
  const bool main = &form_ == form_.application().mainForm();
  // The other windows belong to the main one's taskbar button; their owner is never shown, since
  // the main window's staying on top would pass to the windows it owned.
  CreateWindowExW(exStyle, kFormClass, widen(form_.caption()).c_str(), style_, def.left, def.top, width(outer),
                  height(outer), main ? nullptr : shared_.hiddenOwner(), nullptr, shared_.instance(), this);
  if (!hwnd_) throw Error("ウィンドウを作成できません");
  if (main) shared_.mainWindow = hwnd_;

  dpi_ = GetDpiForWindow(hwnd_);
  if (dpi_ == 0) dpi_ = kDesignDpi;
  font_ = fontFor(def.font, dpi_);
  sizeClientAsDesigned();
  GetWindowRect(hwnd_, &restored_);
}

// The controls are made at the first show, once the program has set what they show and whether
// the window stays on top. Wine does not make a window top-most while it owns a hidden pop-up
// (the date picker's calendar): it puts it below the pop-up instead.
void Win32FormPeer::makeControls() {
  if (controlsMade_) return;
  controlsMade_ = true;
  const FormDef& def = form_.def();
  for (int i = 0; i < static_cast<int>(controls_.size()); ++i) {
    Win32ControlPeer* control = nativeControl(i);
    if (!control) continue;
    const int parent = def.controls[static_cast<std::size_t>(i)].parent;
    control->create(parent < 0 ? hwnd_ : nativeControl(parent)->hwnd(), kFirstControlId + i, boundsOf(i), font_, dpi_);
  }
}

Win32FormPeer::~Win32FormPeer() {
  // Children before their parents, so that each takes its hint with it.
  while (!controls_.empty()) controls_.pop_back();
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

Win32FormPeer* Win32FormPeer::of(HWND window) {
  wchar_t name[32] = {};
  if (!window || !GetClassNameW(window, name, 32) || std::wcscmp(name, kFormClass) != 0) return nullptr;
  return reinterpret_cast<Win32FormPeer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK Win32FormPeer::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* peer = static_cast<Win32FormPeer*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    peer->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(peer));
  }
  auto* peer = reinterpret_cast<Win32FormPeer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!peer) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    peer->hwnd_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return guarded(peer->shared_, [&] { return peer->handle(message, wParam, lParam); });
}

LRESULT Win32FormPeer::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Win32ControlPeer::reflect(hwnd_, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_CLOSE:
      // The program decides what a close request means: the main window asks its close query
      // and ends the program, any other window hides.
      form_.userClose();
      return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      // The session really ends (it was not cancelled): the main window saves as a close would.
      if (wParam && hwnd_ == shared_.mainWindow && shared_.endSession) shared_.endSession();
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd_, &r);
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, colorRef(form_.def().color));
      ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
      return 1;
    }
    case WM_SIZE:
      // Controls aligned to the client area follow the window.
      for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlDef& c = form_.def().controls[i];
        if (controls_[i] && controls_[i]->hwnd() && c.align == Align::Client && c.parent < 0)
          controls_[i]->place(boundsOf(static_cast<int>(i)), font_, dpi_);
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (const HWND focus = GetFocus(); focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      } else if (!HIWORD(wParam) && focusOnActivation()) {
        return 0;
      }
      break;
    case WM_WINDOWPOSCHANGED:
      if (!IsIconic(hwnd_)) GetWindowRect(hwnd_, &restored_);
      break;  // the default handling sends WM_SIZE and WM_MOVE
    case WM_DPICHANGED: {
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, width(suggested), height(suggested),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      useDpi(HIWORD(wParam));
      return 0;
    }
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// A new DPI: a new font, every control re-placed and re-measured at it, and the designed client
// size unless the user sizes the window (which then keeps the size Windows suggested).
void Win32FormPeer::useDpi(UINT dpi) {
  const HFONT previous = font_;
  dpi_ = dpi;
  font_ = fontFor(form_.def().font, dpi_);
  if (form_.def().border != BorderStyle::Sizeable) sizeClientAsDesigned();
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i] && controls_[i]->hwnd()) controls_[i]->place(boundsOf(static_cast<int>(i)), font_, dpi_);
  if (previous) DeleteObject(previous);
}

RECT Win32FormPeer::designedOuter(UINT dpi) const {
  const FormDef& def = form_.def();
  if (def.outerWidth > 0) return {0, 0, scaled(def.outerWidth, dpi), scaled(def.outerHeight, dpi)};
  RECT outer{0, 0, scaled(def.clientWidth, dpi), scaled(def.clientHeight, dpi)};
  AdjustWindowRectExForDpi(&outer, style_, FALSE, exStyle_, dpi);
  return outer;
}

void Win32FormPeer::sizeClientAsDesigned() {
  const FormDef& def = form_.def();
  if (def.outerWidth > 0) {
    const RECT outer = designedOuter(dpi_);
    RECT now;
    GetWindowRect(hwnd_, &now);
    if (width(now) != width(outer) || height(now) != height(outer))
      SetWindowPos(hwnd_, nullptr, 0, 0, width(outer), height(outer), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  const int wantedWidth = scaled(def.clientWidth, dpi_);
  const int wantedHeight = scaled(def.clientHeight, dpi_);
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right == wantedWidth && client.bottom == wantedHeight) return;
  const RECT outer = designedOuter(dpi_);
  SetWindowPos(hwnd_, nullptr, 0, 0, width(outer), height(outer), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A caption that wraps or a frame the system draws its own way: correct by what came out.
  GetClientRect(hwnd_, &client);
  if (client.right != wantedWidth || client.bottom != wantedHeight)
    SetWindowPos(hwnd_, nullptr, 0, 0, width(outer) + wantedWidth - client.right,
                 height(outer) + wantedHeight - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Win32FormPeer::boundsOf(int index) const {
  const ControlDef& c = form_.def().controls[static_cast<std::size_t>(index)];
  if (c.align == Align::Client) {
    RECT client;
    GetClientRect(c.parent < 0 ? hwnd_ : nativeControl(c.parent)->hwnd(), &client);
    return client;
  }
  // Edges, not sizes, are scaled, so that controls that meet in the design meet at any DPI.
  return {scaled(c.left, dpi_), scaled(c.top, dpi_), scaled(c.left + c.width, dpi_), scaled(c.top + c.height, dpi_)};
}

void Win32FormPeer::setCaption(const std::string& caption) {
  if (hwnd_) SetWindowTextW(hwnd_, widen(caption).c_str());
}

// Top-most or not without moving, sizing or activating the window. A window not made yet is made
// top-most or not as the form says then.
void Win32FormPeer::setStayOnTop(bool on) {
  if (!hwnd_) return;
  const bool now = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST;
  if (on == now) return;
  SetWindowPos(hwnd_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32FormPeer::setVisible(bool visible) {
  if (!visible) {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  window();
  makeControls();
  placeBeforeShow();
  // Moved to a monitor of another DPI while hidden: Windows may not have told it yet.
  if (const UINT dpi = GetDpiForWindow(hwnd_); dpi && dpi != dpi_) useDpi(dpi);
  ShowWindow(hwnd_, SW_SHOW);
  shownBefore_ = true;
}

void Win32FormPeer::placeBeforeShow() {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  if (form_.def().position == FormPosition::DesktopCenter) {
    // Centred on the desktop the first time; after that it comes back where it was left.
    if (shownBefore_ || moved_) return;
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    SetWindowPos(hwnd_, nullptr, left + (GetSystemMetrics(SM_CXVIRTUALSCREEN) - width(outer)) / 2,
                 top + (GetSystemMetrics(SM_CYVIRTUALSCREEN) - height(outer)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  // A window opened from another monitor's window follows the user there.
  const HWND active = GetActiveWindow();
  const POINT centre{(outer.left + outer.right) / 2, (outer.top + outer.bottom) / 2};
  const HMONITOR here = MonitorFromPoint(centre, MONITOR_DEFAULTTONULL);
  if (!active || active == hwnd_ || !here) return;
  const HMONITOR there = MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
  MONITORINFO from{}, to{};
  from.cbSize = to.cbSize = sizeof(MONITORINFO);
  if (here == there || !GetMonitorInfoW(here, &from) || !GetMonitorInfoW(there, &to)) return;
  const auto monitor = [](const RECT& r) { return MonitorRect{r.left, r.top, r.right, r.bottom}; };
  const Rect moved = moveOntoMonitor({outer.left, outer.top, width(outer), height(outer)}, monitor(from.rcMonitor),
                                     monitor(to.rcMonitor));
  SetWindowPos(hwnd_, nullptr, moved.left, moved.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormPeer::bringToFront() {
  if (!hwnd_) return;  // never shown: nothing to bring
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  SetForegroundWindow(hwnd_);
}

HWND Win32FormPeer::controlWindow(int index) {
  window();
  makeControls();
  const Win32ControlPeer* control = nativeControl(index);
  return control ? control->hwnd() : nullptr;
}

WindowId Win32FormPeer::windowId() { return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(window())); }

// While minimised, the window's place is where it will come back to. Its size depends on the
// monitor's DPI, so a window not made yet is made to answer.
Rect Win32FormPeer::outerBounds() const {
  const HWND hwnd = const_cast<Win32FormPeer*>(this)->window();
  RECT r = restored_;
  if (!IsIconic(hwnd)) GetWindowRect(hwnd, &r);
  return {r.left, r.top, width(r), height(r)};
}

void Win32FormPeer::moveTo(int left, int top) {
  moved_ = true;
  SetWindowPos(window(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormPeer::appendTabStops(int parent, std::vector<HWND>& order) const {
  std::vector<int> children;
  const auto& controls = form_.def().controls;
  for (int i = 0; i < static_cast<int>(controls.size()); ++i)
    if (controls[static_cast<std::size_t>(i)].parent == parent && controls_[static_cast<std::size_t>(i)])
      children.push_back(i);
  std::ranges::stable_sort(children, {}, [&](int i) { return controls[static_cast<std::size_t>(i)].tabOrder; });
  for (int i : children) {
    const ControlDef& c = controls[static_cast<std::size_t>(i)];
    if (focusable(c) && c.tabStop) order.push_back(nativeControl(i)->hwnd());
    appendTabStops(i, order);
  }
}

// As in a dialog, the control that had the keyboard focus gets it back, or else the first tab
// stop, so that Space and Enter work at once.
bool Win32FormPeer::focusOnActivation() {
  if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) && IsWindowVisible(lastFocus_) &&
      IsWindowEnabled(lastFocus_)) {
    SetFocus(lastFocus_);
    return true;
  }
  return focusNext(nullptr, false);
}

bool Win32FormPeer::focusNext(HWND from, bool backwards) {
  std::vector<HWND> order;
  appendTabStops(-1, order);
  std::erase_if(order, [](HWND w) { return !IsWindowVisible(w) || !IsWindowEnabled(w); });
  if (order.empty()) return false;
  const auto n = static_cast<std::ptrdiff_t>(order.size());
  const auto found = std::ranges::find_if(order, [&](HWND w) { return w == from || IsChild(w, from); });
  std::ptrdiff_t next = backwards ? n - 1 : 0;
  if (found != order.end()) next = ((found - order.begin()) + (backwards ? n - 1 : 1)) % n;
  SetFocus(order[static_cast<std::size_t>(next)]);
  return true;
}

}  // namespace kelvado::win32
