#include "framework/win32/win32_shared.h"

#include <commctrl.h>
#include <windowsx.h>

#include "framework/win32/win32_pictures.h"
#include "win32/wide_text.h"

namespace kelvado::win32 {

namespace {

// The program's resources give the application icon this id.
constexpr WORD kApplicationIconId = 1;

// The application icon at one of the system's icon sizes, kept for the life of the process.
HICON applicationIcon(int metric, XpmImage picture) {
  const int size = GetSystemMetrics(metric);
  if (auto* icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kApplicationIconId),
                                                 IMAGE_ICON, size, size, LR_SHARED)))
    return icon;
  // A build without the resource still shows the picture, drawn.
  static const HICON drawn = makeIcon(decodeXpm(picture));
  return drawn;
}

TTTOOLINFOW toolFor(HWND control) {
  TTTOOLINFOW tool{};
  // The second version of the record: every version of the common controls takes it.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

void addTool(HWND tooltip, HWND control, std::wstring text) {
  TTTOOLINFOW tool = toolFor(control);
  tool.lpszText = text.data();
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace

void registerClass(const wchar_t* name, WNDPROC procedure, UINT style, XpmImage icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = name;
  if (!icon.empty()) {
    wc.hIcon = applicationIcon(SM_CXICON, icon);
    wc.hIconSm = applicationIcon(SM_CXSMICON, icon);
  }
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw Error("ウィンドウクラスを登録できません");
}

Shared::Shared() : instance_(GetModuleHandleW(nullptr)) {}

Shared::~Shared() {
  if (tooltip_) DestroyWindow(tooltip_);
  if (hiddenOwner_) DestroyWindow(hiddenOwner_);
}

HWND Shared::hiddenOwner() {
  if (!hiddenOwner_)
    hiddenOwner_ =
        CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
  return hiddenOwner_;
}

void Shared::addHint(HWND control, const std::string& hint) {
  if (tooltip_)
    addTool(tooltip_, control, widen(hint));
  else
    waitingHints_.emplace_back(control, widen(hint));
}

void Shared::removeHint(HWND control) {
  std::erase_if(waitingHints_, [control](const auto& waiting) { return waiting.first == control; });
  if (!tooltip_ || !IsWindow(tooltip_)) return;
  TTTOOLINFOW tool = toolFor(control);
  SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Shared::pointerOverHint(HWND control, WPARAM wParam, LPARAM lParam) {
  if (tooltip_) return;  // it follows the pointer itself from the first move on
  // Top-most, so that it shows above a window that stays on top; owned by none of the windows,
  // so that it lives as long as the backend.
  tooltip_ =
      CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, nullptr);
  if (!tooltip_) return;
  SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, kHintWakeUpMs);
  SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, kHintDurationMs);
  for (auto& [window, text] : waitingHints_) addTool(tooltip_, window, std::move(text));
  waitingHints_.clear();
  // This move came before the tooltip was listening: it starts the wait for the hint.
  MSG move{};
  move.hwnd = control;
  move.message = WM_MOUSEMOVE;
  move.wParam = wParam;
  move.lParam = lParam;
  move.time = static_cast<DWORD>(GetMessageTime());
  const DWORD at = GetMessagePos();
  move.pt = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void Shared::reportEscaped(const char* what) noexcept {
  if (!application) return;
  try {
    application->showError(what ? what : "予期しないエラーが発生しました");
  } catch (...) {
    // Nothing is left to show it with; the window procedure returns and the program runs on.
  }
}

}  // namespace kelvado::win32
