#include "framework/win32/win32_controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "framework/date_formats.h"
#include "framework/win32/win32_pictures.h"
#include "win32/wide_text.h"

namespace kelvado::win32 {

namespace {

// The window property that leads from a control's window to its peer.
constexpr const wchar_t* kPeerProperty = L"KelvadoControl";

constexpr ControlProperty kAllProperties[] = {
    ControlProperty::Text,      ControlProperty::Color, ControlProperty::FontColor, ControlProperty::Checked,
    ControlProperty::ItemIndex, ControlProperty::Date,  ControlProperty::Enabled};

std::optional<MouseButton> pressedButton(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return MouseButton::Left;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: return MouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: return MouseButton::Middle;
    default: return std::nullopt;
  }
}

// Edit controls break lines at "\r\n" only.
std::wstring withWindowsLineEnds(const std::string& text) {
  std::wstring out;
  for (wchar_t c : widen(text)) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

// The size `text` takes in `font`, lines broken at line ends only.
SIZE textExtent(HWND window, HFONT font, const std::wstring& text) {
  HDC dc = GetDC(window);
  HGDIOBJ previous = SelectObject(dc, font);
  RECT r{};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  return {r.right - r.left, r.bottom - r.top};
}

// ---- Labels and panels: small window classes of our own ---------------------------------------

class OwnDrawnPeer : public Win32ControlPeer {
 protected:
  using Win32ControlPeer::Win32ControlPeer;

  virtual void paint(HDC dc) = 0;

  void fill(HDC dc, const RECT& r) const {
    SetBkColor(dc, background());
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  }

  // The caption is the window's text, so that screen readers (and tests) read what is drawn.
  void refresh(ControlProperty what) override {
    Win32ControlPeer::refresh(what);
    if (what == ControlProperty::Text) InvalidateRect(hwnd_, nullptr, FALSE);
  }

  std::wstring text() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
  }

  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
      case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        paint(dc);
        EndPaint(hwnd_, &ps);
        return 0;
      }
      case WM_PRINTCLIENT: paint(reinterpret_cast<HDC>(wParam)); return 0;
      case WM_ERASEBKGND: return 1;  // painting covers all of it
      case WM_ENABLE: InvalidateRect(hwnd_, nullptr, FALSE); return 0;
      default: return defaultHandling(message, wParam, lParam);
    }
  }
};

class LabelPeer final : public OwnDrawnPeer {
 public:
  using OwnDrawnPeer::OwnDrawnPeer;

  void place(const RECT& bounds, HFONT font, UINT dpi) override {
    RECT r = bounds;
    // A label sized to its text follows it: the text's width, the designed height.
    if (control_.def().autoSize) r.right = r.left + textExtent(hwnd_, font, text()).cx;
    Win32ControlPeer::place(r, font, dpi);
  }

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override { createWindow(kLabelClass, 0, 0, parent, id, at); }

  void refresh(ControlProperty what) override {
    if (what != ControlProperty::Text) return;
    OwnDrawnPeer::refresh(what);
    if (control_.def().autoSize && font_) {
      RECT r;
      GetWindowRect(hwnd_, &r);
      MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
      place(r, font_, dpi_);
    }
  }

  void paint(HDC dc) override {
    RECT r;
    GetClientRect(hwnd_, &r);
    fill(dc, r);
    HGDIOBJ previous = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, foreground());
    const std::wstring caption = text();
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
              DT_LEFT | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, previous);
  }

  // A click is a left press and release on the label. The class takes double clicks, so the
  // second press of one comes as a double click and does not arm: a double click is one click.
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_LBUTTONDOWN:
        armed_ = true;
        SetCapture(hwnd_);  // so that the release comes back here
        return 0;
      case WM_LBUTTONDBLCLK: armed_ = false; return 0;
      case WM_LBUTTONUP: {
        RECT r;
        GetClientRect(hwnd_, &r);
        const bool click = armed_ && PtInRect(&r, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        armed_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        if (click) control_.userClick();
        return 0;
      }
      case WM_CAPTURECHANGED: armed_ = false; return 0;
      default: return OwnDrawnPeer::handle(message, wParam, lParam);
    }
  }

 private:
  bool armed_ = false;
};

class PanelPeer final : public OwnDrawnPeer {
 public:
  using OwnDrawnPeer::OwnDrawnPeer;

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override {
    createWindow(kPanelClass, WS_CLIPCHILDREN, 0, parent, id, at);
  }

  // The panel's colour inside a raised bevel one pixel wide, and its caption.
  void paint(HDC dc) override {
    RECT r;
    GetClientRect(hwnd_, &r);
    fill(dc, r);
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    const std::wstring caption = text();
    if (caption.empty()) return;
    HGDIOBJ previous = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, foreground());
    const UINT align = control_.def().centered ? DT_CENTER : DT_LEFT;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
              align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
  }

  // A panel holds controls: their notifications come to it.
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
    LRESULT result = 0;
    if (reflect(hwnd_, message, wParam, lParam, result)) return result;
    return OwnDrawnPeer::handle(message, wParam, lParam);
  }
};

// ---- Standard controls ------------------------------------------------------------------------

class EditPeer final : public Win32ControlPeer {
 public:
  using Win32ControlPeer::Win32ControlPeer;

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override {
    const ControlDef& d = control_.def();
    createWindow(L"EDIT", ES_AUTOHSCROLL | (d.readOnly ? ES_READONLY : 0), WS_EX_CLIENTEDGE, parent, id, at);
  }
};

class MemoPeer final : public Win32ControlPeer {
 public:
  using Win32ControlPeer::Win32ControlPeer;

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override {
    const ControlDef& d = control_.def();
    const bool horizontal = d.scrollBars == ScrollBars::Horizontal || d.scrollBars == ScrollBars::Both;
    const bool vertical = d.scrollBars == ScrollBars::Vertical || d.scrollBars == ScrollBars::Both;
    DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | (d.readOnly ? ES_READONLY : 0) | (vertical ? WS_VSCROLL : 0);
    // An edit control made with a horizontal scroll bar never wraps its lines: a wrapping memo
    // gets its bar after it is made, and the bar stays, greyed, with nothing to scroll.
    if (!d.wordWrap) style |= ES_AUTOHSCROLL | (horizontal ? WS_HSCROLL : 0);
    createWindow(L"EDIT", style, WS_EX_CLIENTEDGE, parent, id, at);
    if (d.wordWrap && horizontal) {
      SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) | WS_HSCROLL);
      SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      SCROLLINFO none{sizeof none, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 0, 0, 0, 0};
      SetScrollInfo(hwnd_, SB_HORZ, &none, TRUE);
    }
  }

  void refresh(ControlProperty what) override {
    if (what == ControlProperty::Text) SetWindowTextW(hwnd_, withWindowsLineEnds(control_.text()).c_str());
  }
};

// Drawn by us, so that the rows have the definition's height, which a plain list keeps to the
// font's.
class ComboBoxPeer final : public Win32ControlPeer {
 public:
  using Win32ControlPeer::Win32ControlPeer;

  void place(const RECT& bounds, HFONT font, UINT dpi) override {
    const ControlDef& d = control_.def();
    const int closed = bounds.bottom - bounds.top;
    const int row = d.itemHeight > 0 ? scaled(d.itemHeight, dpi) : textExtent(hwnd_, font, L"0").cy + scaled(2, dpi);
    // A combo box's height is its dropped height: the closed field plus the rows.
    RECT dropped = bounds;
    dropped.bottom = bounds.top + closed + static_cast<int>(d.items.size()) * row + scaled(2, dpi);
    Win32ControlPeer::place(dropped, font, dpi);
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, row);
    // The closed field grows one to one with its item height; setting it once tells by how much
    // the rest of the field differs, which varies with the system's version.
    const auto field = SendMessageW(hwnd_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    RECT now;
    GetWindowRect(hwnd_, &now);
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + closed - (now.bottom - now.top));
  }

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override {
    createWindow(L"COMBOBOX", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL, 0, parent, id, at);
    for (const char* item : control_.def().items)
      SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
  }

  void refresh(ControlProperty what) override {
    if (what == ControlProperty::ItemIndex)
      SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(control_.itemIndex()), 0);
  }

  bool reflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_COMMAND) {
      // Only the user's picks are announced; the program's own selections stay silent.
      if (HIWORD(wParam) == CBN_SELCHANGE)
        control_.userPickItem(static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)));
      result = 0;
      return true;
    }
    if (message == WM_DRAWITEM) {
      drawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      result = TRUE;
      return true;
    }
    return Win32ControlPeer::reflected(message, wParam, lParam, result);
  }

 private:
  void drawRow(const DRAWITEMSTRUCT& item) const {
    const bool selected = item.itemState & ODS_SELECTED;
    SetBkColor(item.hDC, selected ? GetSysColor(COLOR_HIGHLIGHT) : background());
    SetTextColor(item.hDC, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : foreground());
    ExtTextOutW(item.hDC, 0, 0, ETO_OPAQUE, &item.rcItem, nullptr, 0, nullptr);
    if (item.itemID != static_cast<UINT>(-1)) {
      const auto length = SendMessageW(hwnd_, CB_GETLBTEXTLEN, item.itemID, 0);
      std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
      SendMessageW(hwnd_, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
      text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
      RECT r = item.rcItem;
      r.left += scaled(2, dpi_);
      HGDIOBJ previous = SelectObject(item.hDC, font_);
      SetBkMode(item.hDC, TRANSPARENT);
      DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(item.hDC, previous);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(item.hDC, &item.rcItem);
  }
};

class ButtonPeer final : public Win32ControlPeer {
 public:
  using Win32ControlPeer::Win32ControlPeer;

  ~ButtonPeer() override {
    if (images_) ImageList_Destroy(images_);
  }

  void place(const RECT& bounds, HFONT font, UINT dpi) override {
    Win32ControlPeer::place(bounds, font, dpi);
    if (picture_.empty()) return;
    // The button draws itself, themed like its neighbours, with an image for each of its states:
    // normal, hot, pressed, disabled, default and stylus-hot. The picture holds the normal and
    // the disabled image side by side.
    const Pixels both = resized(picture_, scaled(picture_.width, dpi), scaled(picture_.height, dpi));
    const int width = both.width / 2;
    Pixels states{width * kButtonStates, both.height, {}};
    for (int y = 0; y < both.height; ++y)
      for (int state = 0; state < kButtonStates; ++state)
        for (int x = 0; x < width; ++x) states.argb.push_back(both.at(x + (state == kDisabledState ? width : 0), y));
    HIMAGELIST previous = images_;
    images_ = makeImageList(states, kButtonStates);
    BUTTON_IMAGELIST list{images_, {0, 0, 0, 0}, BUTTON_IMAGELIST_ALIGN_CENTER};
    SendMessageW(hwnd_, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
    if (previous) ImageList_Destroy(previous);
  }

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override {
    const ControlDef& d = control_.def();
    if (!d.picture.empty()) picture_ = withTransparentCorner(decodeXpm(d.picture));
    createWindow(L"BUTTON", BS_PUSHBUTTON, 0, parent, id, at);
  }

  bool reflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_COMMAND) {
      // A click from the mouse or the keyboard; buttons that act on the press have no click handler.
      if (HIWORD(wParam) == BN_CLICKED) control_.userClick();
      result = 0;
      return true;
    }
    return Win32ControlPeer::reflected(message, wParam, lParam, result);
  }

 private:
  // A themed push button's states, in the order its image list holds them; the fourth is disabled.
  static constexpr int kButtonStates = 6;
  static constexpr int kDisabledState = 3;

  Pixels picture_;
  HIMAGELIST images_ = nullptr;
};

class CheckBoxPeer final : public Win32ControlPeer {
 public:
  using Win32ControlPeer::Win32ControlPeer;

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override {
    createWindow(L"BUTTON", BS_AUTOCHECKBOX, 0, parent, id, at);
  }

  void refresh(ControlProperty what) override {
    // No notification follows: the program's own setting is the framework's to announce.
    if (what == ControlProperty::Checked)
      SendMessageW(hwnd_, BM_SETCHECK, control_.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    else
      Win32ControlPeer::refresh(what);
  }

  bool reflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message != WM_COMMAND) return Win32ControlPeer::reflected(message, wParam, lParam, result);
    if (HIWORD(wParam) == BN_CLICKED) control_.userSetChecked(SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED);
    result = 0;
    return true;
  }
};

std::wstring localeText(LCTYPE what) {
  wchar_t text[100] = {};
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, text, static_cast<int>(std::size(text)));
  return text;
}

SYSTEMTIME systemTime(const LocalDateTime& d) {
  using namespace std::chrono;
  const sys_days day{year{d.year} / month{static_cast<unsigned>(d.month)} / static_cast<unsigned>(d.day)};
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(d.year);
  st.wMonth = static_cast<WORD>(d.month);
  st.wDayOfWeek = static_cast<WORD>(weekday{day}.c_encoding());
  st.wDay = static_cast<WORD>(d.day);
  st.wHour = static_cast<WORD>(d.hour);
  st.wMinute = static_cast<WORD>(d.minute);
  st.wSecond = static_cast<WORD>(d.second);
  return st;
}

class DatePickerPeer final : public Win32ControlPeer {
 public:
  using Win32ControlPeer::Win32ControlPeer;

  void place(const RECT& bounds, HFONT font, UINT dpi) override {
    Win32ControlPeer::place(bounds, font, dpi);
    SendMessageW(hwnd_, DTM_SETMCFONT, reinterpret_cast<WPARAM>(font), FALSE);
    useFittingFormat();
  }

 protected:
  void makeWindow(HWND parent, int id, const RECT& at) override {
    // Date only, a drop-down month calendar, no up-down arrows, no check box, no typed text.
    createWindow(DATETIMEPICK_CLASSW, DTS_LONGDATEFORMAT, 0, parent, id, at);
    SYSTEMTIME range[2] = {systemTime({1601, 1, 1, 0, 0, 0}), systemTime({9999, 12, 31, 23, 59, 59})};
    SendMessageW(hwnd_, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range));
  }

  void refresh(ControlProperty what) override {
    if (what != ControlProperty::Date || control_.date().year == 0) return;
    // Set without a notification; the program refreshes what depends on the date itself.
    SYSTEMTIME st = systemTime(control_.date());
    SendMessageW(hwnd_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  }

  bool reflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message != WM_NOTIFY) return Win32ControlPeer::reflected(message, wParam, lParam, result);
    const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
    if (header.code == DTN_DATETIMECHANGE) {
      const auto& change = *reinterpret_cast<const NMDATETIMECHANGE*>(lParam);
      // The picker holds a time of day too; the user changes only the date. A notification
      // that changes nothing (the picker sends some) is no change.
      LocalDateTime value = control_.date();
      if (change.dwFlags == GDT_VALID &&
          (value.year != change.st.wYear || value.month != change.st.wMonth || value.day != change.st.wDay)) {
        value.year = change.st.wYear;
        value.month = change.st.wMonth;
        value.day = change.st.wDay;
        control_.userChangeDate(value);
      }
    }
    result = 0;
    return true;
  }

 private:
  // The user's long date format when the widest date in it fits the field, else the same
  // without the weekday, else the short format with a four-digit year.
  void useFittingFormat() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int room = client.right - GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_) - scaled(4, dpi_);
    const std::wstring longFormat = localeText(LOCALE_SLONGDATE);
    std::wstring shortFormat = localeText(LOCALE_SSHORTDATE);
    if (shortFormat.find(L"yyyy") == std::wstring::npos) {
      if (const auto at = shortFormat.find(L"yy"); at != std::wstring::npos) shortFormat.insert(at, L"yy");
    }
    for (const std::wstring& format : {longFormat, widen(withoutWeekday(narrow(longFormat)))}) {
      if (widest(format) > room) continue;
      SendMessageW(hwnd_, DTM_SETFORMATW, 0, format == longFormat ? 0 : reinterpret_cast<LPARAM>(format.c_str()));
      return;
    }
    SendMessageW(hwnd_, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(shortFormat.c_str()));
  }

  // The 28th of each month of 2000 covers every month name and every weekday name.
  int widest(const std::wstring& format) const {
    int widest = 0;
    HDC dc = GetDC(hwnd_);
    HGDIOBJ previous = SelectObject(dc, font_);
    for (int month = 1; month <= 12; ++month) {
      const SYSTEMTIME st = systemTime({2000, month, 28, 0, 0, 0});
      wchar_t text[100] = {};
      const int length = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, format.c_str(), text, 100, nullptr) - 1;
      SIZE size{};
      if (length > 0 && GetTextExtentPoint32W(dc, text, length, &size))
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, previous);
    ReleaseDC(hwnd_, dc);
    return widest;
  }
};

}  // namespace

// ---- What every control shares ------------------------------------------------------------------

std::unique_ptr<Win32ControlPeer> Win32ControlPeer::make(Control& control, Shared& shared) {
  static const bool registered = [] {
    registerClass(kLabelClass, ownClassProcedure, CS_DBLCLKS);
    registerClass(kPanelClass, ownClassProcedure, 0);
    return true;
  }();
  (void)registered;

  const ControlDef& d = control.def();
  std::unique_ptr<Win32ControlPeer> peer;
  switch (d.kind) {
    case ControlKind::Label: peer = std::make_unique<LabelPeer>(control, shared); break;
    case ControlKind::Edit: peer = std::make_unique<EditPeer>(control, shared); break;
    case ControlKind::Memo: peer = std::make_unique<MemoPeer>(control, shared); break;
    case ControlKind::Panel: peer = std::make_unique<PanelPeer>(control, shared); break;
    case ControlKind::ComboBox: peer = std::make_unique<ComboBoxPeer>(control, shared); break;
    case ControlKind::Button:
    case ControlKind::BitButton: peer = std::make_unique<ButtonPeer>(control, shared); break;
    case ControlKind::CheckBox: peer = std::make_unique<CheckBoxPeer>(control, shared); break;
    case ControlKind::DatePicker: peer = std::make_unique<DatePickerPeer>(control, shared); break;
  }
  return peer;
}

void Win32ControlPeer::create(HWND parent, int id, const RECT& bounds, HFONT font, UINT dpi) {
  makeWindow(parent, id, bounds);
  // The font before the text, so that a long text is laid out once, in the font it shows in.
  place(bounds, font, dpi);
  if (control_.def().hint) shared_.addHint(hwnd_, control_.def().hint);
  for (ControlProperty p : kAllProperties) update(p);
}

Win32ControlPeer::~Win32ControlPeer() {
  if (hwnd_) {
    if (control_.def().hint) shared_.removeHint(hwnd_);
    DestroyWindow(hwnd_);
  }
  if (brush_) DeleteObject(brush_);
}

void Win32ControlPeer::createWindow(const wchar_t* windowClass, DWORD style, DWORD exStyle, HWND parent, int id,
                                    const RECT& at) {
  const ControlDef& d = control_.def();
  style |= WS_CHILD | (d.visible ? WS_VISIBLE : 0) | (focusable(d) && d.tabStop ? WS_TABSTOP : 0);
  const bool ownClass = windowClass == kLabelClass || windowClass == kPanelClass;
  // Our own classes meet their peer in WM_NCCREATE; standard ones get it afterwards.
  hwnd_ =
      CreateWindowExW(exStyle, windowClass, L"", style, at.left, at.top, at.right - at.left, at.bottom - at.top, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), shared_.instance(), ownClass ? this : nullptr);
  if (!hwnd_) {
    const bool picker = d.kind == ControlKind::DatePicker;
    throw Error(picker ? kNeedsCommonControls : "コントロールを作成できません");
  }
  if (ownClass) return;
  SetPropW(hwnd_, kPeerProperty, this);
  subclassed_ = SetWindowSubclass(hwnd_, subclassProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
}

Win32ControlPeer* Win32ControlPeer::of(HWND window) {
  return window ? static_cast<Win32ControlPeer*>(GetPropW(window, kPeerProperty)) : nullptr;
}

LRESULT CALLBACK Win32ControlPeer::ownClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* peer = static_cast<Win32ControlPeer*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    peer->hwnd_ = window;
    SetPropW(window, kPeerProperty, peer);
  }
  Win32ControlPeer* peer = of(window);
  if (!peer) return DefWindowProcW(window, message, wParam, lParam);
  return guarded(peer->shared_, [&] { return peer->dispatch(message, wParam, lParam); });
}

LRESULT CALLBACK Win32ControlPeer::subclassProcedure(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                     DWORD_PTR self) {
  auto* peer = reinterpret_cast<Win32ControlPeer*>(self);
  return guarded(peer->shared_, [&] { return peer->dispatch(message, wParam, lParam); });
}

// Presses reach a control that listens for them after the window's own handling, so that a
// button is pushed in before whatever the press starts (a message box takes the mouse away
// from it again).
LRESULT Win32ControlPeer::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = hwnd_;
  if (message == WM_MOUSEMOVE && control_.def().hint) shared_.pointerOverHint(hwnd_, wParam, lParam);
  if (!control_.def().activatesWindow && (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE))
    keepActivationWhilePointerIsOver(message == WM_MOUSEMOVE);
  const LRESULT result = handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    detach();
    return result;
  }
  const std::optional<MouseButton> button = pressedButton(message);
  if (button && control_.onMouseDown && window == hwnd_) {
    const ShiftState shift{(wParam & MK_SHIFT) != 0, (wParam & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0};
    control_.userMouseDown(*button, shift, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  }
  return result;
}

// Under Wine the window manager's click-to-focus asks the window whether it takes the focus, and
// Wine then gives it to the window whatever its click handling answers, unless the window cannot
// be activated at all. So for as long as the pointer is over such a control the whole window
// cannot be: the program that was active stays so, and with it the keyboard focus.
void Win32ControlPeer::keepActivationWhilePointerIsOver(bool over) {
  const HWND window = GetAncestor(hwnd_, GA_ROOT);
  const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  if (over == ((exStyle & WS_EX_NOACTIVATE) != 0)) return;
  if (over) {
    TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, hwnd_, 0};
    TrackMouseEvent(&leave);
  }
  SetWindowLongPtrW(window, GWL_EXSTYLE, over ? exStyle | WS_EX_NOACTIVATE : exStyle & ~WS_EX_NOACTIVATE);
}

void Win32ControlPeer::detach() {
  if (subclassed_) RemoveWindowSubclass(hwnd_, subclassProcedure, 0);
  RemovePropW(hwnd_, kPeerProperty);
  subclassed_ = false;
  hwnd_ = nullptr;
}

LRESULT Win32ControlPeer::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  return defaultHandling(message, wParam, lParam);
}

LRESULT Win32ControlPeer::defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
  return subclassed_ ? DefSubclassProc(hwnd_, message, wParam, lParam) : DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Win32ControlPeer::update(ControlProperty what) {
  if (!hwnd_) return;  // the window, once made, shows the control's state as it is then
  switch (what) {
    case ControlProperty::Enabled: EnableWindow(hwnd_, control_.enabled()); break;
    case ControlProperty::Color:
      if (brush_) DeleteObject(brush_);
      brush_ = CreateSolidBrush(background());
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case ControlProperty::FontColor: InvalidateRect(hwnd_, nullptr, TRUE); break;
    default: refresh(what);
  }
}

void Win32ControlPeer::refresh(ControlProperty what) {
  if (what == ControlProperty::Text) SetWindowTextW(hwnd_, widen(control_.text()).c_str());
}

void Win32ControlPeer::place(const RECT& bounds, HFONT font, UINT dpi) {
  font_ = font;
  dpi_ = dpi;
  SetWindowPos(hwnd_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

COLORREF Win32ControlPeer::foreground() const {
  return IsWindowEnabled(hwnd_) ? colorRef(control_.fontColor()) : GetSysColor(COLOR_GRAYTEXT);
}

// Standard controls ask their parent for their colours; a disabled one keeps the system's
// greyed look, but for an edit or a memo, which keeps its own colour and greys only its text.
bool Win32ControlPeer::reflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      const ControlKind kind = control_.def().kind;
      if (!brush_ || (!IsWindowEnabled(hwnd_) && kind != ControlKind::Edit && kind != ControlKind::Memo)) return false;
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, foreground());
      SetBkColor(dc, background());
      result = reinterpret_cast<LRESULT>(brush_);
      return true;
    }
    default: return false;
  }
}

bool Win32ControlPeer::reflect(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = nullptr;
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: child = reinterpret_cast<HWND>(lParam); break;
    case WM_NOTIFY: child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom; break;
    case WM_DRAWITEM: child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem; break;
    default: return false;
  }
  Win32ControlPeer* peer = of(child);
  return peer && GetParent(child) == parent && peer->reflected(message, wParam, lParam, result);
}

}  // namespace kelvado::win32
