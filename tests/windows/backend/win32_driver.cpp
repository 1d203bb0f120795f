// The backends' contract (tests/backend) on the Win32 backend under Wine: real windows, driven
// with the messages the system sends a window for a person's mouse and keyboard, and read back
// through the controls' own messages or from what they draw.
#include "win32_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "backend/backend_contract.h"
#include "win32/wide_text.h"

namespace kelvado::testing {

void pumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

HWND windowOf(Form& form) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(form.handle())); }

std::string textOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  std::wstring lines;
  for (wchar_t c : text)
    if (c != L'\r') lines += c;
  return win32::narrow(lines);
}

Drawn render(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  Drawn drawn{client.right, client.bottom, {}};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, drawn.width, -drawn.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);  // BGRA in memory: 0x00RRGGBB
  for (int i = 0; i < drawn.width * drawn.height; ++i) drawn.rgb.push_back(pixels[i] & 0xFFFFFF);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return drawn;
}

void pointAt(HWND control) { SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1)); }

HWND tooltipOf(HWND control, TTTOOLINFOW& tool) {
  struct Search {
    TTTOOLINFOW* tool;
    HWND found;
  } search{&tool, nullptr};
  tool = {};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (std::wstring_view(name) != TOOLTIPS_CLASSW ||
            !SendMessageW(window, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(s.tool)))
          return TRUE;
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {

LocalDateTime dayOf(const SYSTEMTIME& st) { return {st.wYear, st.wMonth, st.wDay}; }

struct Buttons {
  UINT down, up, doubleClick;
  WPARAM key;
};

Buttons messagesFor(MouseButton button) {
  switch (button) {
    case MouseButton::Left: return {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, MK_LBUTTON};
    case MouseButton::Right: return {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, MK_RBUTTON};
    case MouseButton::Middle: return {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, MK_MBUTTON};
  }
  return {};
}

void key(HWND window, WPARAM virtualKey) {
  SendMessageW(window, WM_KEYDOWN, virtualKey, 1);
  SendMessageW(window, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

LocalDateTime shownDate(HWND picker) {
  SYSTEMTIME st{};
  SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
  return dayOf(st);
}

class Win32Driver final : public BackendDriver {
 public:
  Backend& backend() override { return backend_; }

  // A box with one OK button: Enter and Escape both answer it.
  void answerModalBoxes(std::function<void(const ShownBox&)> answer) override {
    backend_.setModalHook([answer](const win32::ModalBox& box) {
      ShownBox shown{(box.type & MB_ICONMASK) == MB_ICONSTOP ? MessageKind::Error : MessageKind::Information,
                     win32::narrow(box.caption),
                     win32::narrow(box.text),
                     {},
                     false};
      if ((box.type & MB_TYPEMASK) == MB_OK) {
        shown.buttons = {"OK"};
        shown.okIsDefaultAndEscape = true;
      }
      EXPECT_TRUE(box.owner != nullptr && IsWindow(box.owner)) << "owned by one of the program's windows";
      answer(shown);
    });
  }

  bool runUntil(const std::function<bool()>& done, int timeoutMs) override {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
      pumpMessages();
      if (done()) return true;
      if (GetTickCount64() >= end) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
  }

  void waitExposed(Form& form) override {
    ASSERT_TRUE(runUntil([&] { return IsWindowVisible(windowOf(form)) != FALSE; }, 5000));
    UpdateWindow(windowOf(form));
    pumpMessages();
  }

  bool hasNative(Form& form, int control) override { return window(form, control) != nullptr; }

  Shown shown(Form& form, int control) override {
    const HWND w = window(form, control);
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    Shown s;
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    s.bounds = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    s.visible = style & WS_VISIBLE;
    s.enabled = IsWindowEnabled(w);
    s.text = textOf(w);
    TTTOOLINFOW tool;
    pointAt(w);
    if (HWND tooltip = tooltipOf(w, tool)) {
      wchar_t text[256] = {};
      tool.lpszText = text;
      SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
      s.hint = win32::narrow(text);
    }
    switch (form.def().controls[static_cast<std::size_t>(control)].kind) {
      case ControlKind::Label:
      case ControlKind::Panel:
        s.background = render(w).at(2, 2);  // inside a panel's bevel, beside its centred caption
        break;
      case ControlKind::ComboBox: {
        const auto count = SendMessageW(w, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
          std::wstring item(static_cast<std::size_t>(SendMessageW(w, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
          const auto copied = SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
          item.resize(static_cast<std::size_t>(copied));
          s.items.push_back(win32::narrow(item));
        }
        s.itemIndex = static_cast<int>(SendMessageW(w, CB_GETCURSEL, 0, 0));
        s.itemHeight = static_cast<int>(SendMessageW(w, CB_GETITEMHEIGHT, 0, 0));
        s.editable = (style & 3) != CBS_DROPDOWNLIST;
        break;
      }
      case ControlKind::Memo: {
        s.readOnly = style & ES_READONLY;
        s.wordWrap = !(style & ES_AUTOHSCROLL);
        SCROLLBARINFO bar{};
        bar.cbSize = sizeof bar;
        s.horizontalBar = GetScrollBarInfo(w, OBJID_HSCROLL, &bar) && !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
        s.verticalBar = GetScrollBarInfo(w, OBJID_VSCROLL, &bar) && !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
        break;
      }
      case ControlKind::CheckBox: s.checked = SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED; break;
      case ControlKind::DatePicker: {
        s.date = shownDate(w);
        SYSTEMTIME range[2] = {};
        SendMessageW(w, DTM_GETRANGE, 0, reinterpret_cast<LPARAM>(range));
        s.firstDate = dayOf(range[0]);
        s.lastDate = dayOf(range[1]);
        s.dropDownCalendar = !(style & DTS_UPDOWN);
        break;
      }
      default: break;
    }
    return s;
  }

  int textWidth(Form& form, int control, const std::string& text) override {
    const HWND w = window(form, control);
    HDC dc = GetDC(w);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)));
    const std::wstring wide = win32::widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(w, dc);
    return size.cx;
  }

  // The field: the picker's inside, less its drop-down button.
  int dateFieldRoom(Form& form, int control) override {
    const HWND w = window(form, control);
    RECT client;
    GetClientRect(w, &client);
    return client.right - GetSystemMetricsForDpi(SM_CXVSCROLL, GetDpiForWindow(w));
  }

  // The picture in the middle of the button, as the button draws itself.
  Drawn picture(Form& form, int control, bool enabled) override {
    const HWND w = window(form, control);
    EnableWindow(w, enabled);
    const Drawn button = render(w);
    EnableWindow(w, TRUE);
    Drawn drawn{16, 16, {}};
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        drawn.rgb.push_back(button.at((button.width - 16) / 2 + x, (button.height - 16) / 2 + y));
    return drawn;
  }

  HintTiming hintTiming(Form& form, int control) override {
    TTTOOLINFOW tool;
    pointAt(window(form, control));
    const HWND tooltip = tooltipOf(window(form, control), tool);
    return {static_cast<int>(SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0)),
            static_cast<int>(SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0))};
  }

  void press(Form& form, int control, MouseButton button, ShiftState shift, int x, int y) override {
    const Buttons b = messagesFor(button);
    const WPARAM keys = b.key | (shift.shift ? MK_SHIFT : 0) | (shift.ctrl ? MK_CONTROL : 0);
    SendMessageW(window(form, control), b.down, keys, MAKELPARAM(x, y));
  }

  void release(Form& form, int control, MouseButton button, int x, int y) override {
    SendMessageW(window(form, control), messagesFor(button).up, 0, MAKELPARAM(x, y));
  }

  // The system makes the second press a double click only for classes that ask for them.
  void doubleClick(Form& form, int control, int x, int y) override {
    const HWND w = window(form, control);
    const bool classTakesThem = GetClassLongPtrW(w, GCL_STYLE) & CS_DBLCLKS;
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    SendMessageW(w, classTakesThem ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }

  void keyboardClick(Form& form, int control) override {
    const HWND w = window(form, control);
    SetFocus(w);
    key(w, VK_SPACE);
  }

  void pickNextItem(Form& form, int control) override {
    const HWND w = window(form, control);
    SetFocus(w);
    key(w, VK_DOWN);
  }

  // Right moves to the next field of the date, Up steps it; the first field may be the weekday,
  // which the arrows leave alone.
  void stepDate(Form& form, int control) override {
    const HWND w = window(form, control);
    SetFocus(w);
    const LocalDateTime before = shownDate(w);
    for (int field = 0; field < 8 && shownDate(w) == before; ++field) {
      key(w, VK_RIGHT);
      key(w, VK_UP);
    }
  }

 private:
  static HWND window(Form& form, int control) { return win32::Win32Backend::controlWindow(form, control); }

  win32::Win32Backend backend_;
};

}  // namespace

std::unique_ptr<BackendDriver> makeDriver() { return std::make_unique<Win32Driver>(); }

}  // namespace kelvado::testing
