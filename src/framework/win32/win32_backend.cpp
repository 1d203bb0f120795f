#include "framework/win32/win32_backend.h"

#include <commctrl.h>
#include <imm.h>

#include <vector>

#include "framework/win32/win32_form.h"
#include "framework/win32/win32_shared.h"
#include "win32/wide_text.h"

namespace kelvado::win32 {

// A timer of the program: one system timer on the backend's hidden window, under its own id.
class Win32TimerPeer final : public TimerPeer {
 public:
  Win32TimerPeer(Win32Backend& backend, Timer& timer) : backend_(backend), timer_(timer), id_(backend.nextTimerId_++) {
    backend_.timers_[id_] = this;
  }
  ~Win32TimerPeer() override {
    stop();
    backend_.timers_.erase(id_);
  }

  // Setting the timer again under the same id starts its period anew.
  void start(int intervalMs) override {
    if (!SetTimer(backend_.timerWindow_, id_, static_cast<UINT>(intervalMs), nullptr)) throw Error(kNoTimer);
  }
  void stop() override { KillTimer(backend_.timerWindow_, id_); }

  Timer& timer() const { return timer_; }

 private:
  Win32Backend& backend_;
  Timer& timer_;
  const UINT_PTR id_;
};

Win32Backend::Win32Backend() {
  // The date picker needs version 4.70 of the common controls; the tooltips come with it.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&controls)) throw Error(kNeedsCommonControls);
  // Nothing here takes typed text (the date picker takes digits), so the program's windows need
  // no input method: no composition window over the picker, and no input method context to set
  // up when the main window is first activated.
  ImmDisableIME(0);
  static const bool registered = (registerClass(kTimerClass, timerProcedure, 0), true);
  (void)registered;
  shared_ = std::make_unique<Shared>();
  // The session ends whatever the program answers: save, and say on standard error if that
  // failed, but show no box that would hold the log-off up.
  shared_->endSession = [this] {
    if (!shared_->application) return;
    shared_->application->closeForSession();
    if (endProcessAtSessionEnd_) ExitProcess(static_cast<UINT>(shared_->application->exitStatus()));
  };
  // A message-only window: never shown, never sent anything but its timers.
  timerWindow_ = CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, shared_->instance(), this);
  if (!timerWindow_) throw Error(kNoTimer);
}

Win32Backend::~Win32Backend() { DestroyWindow(timerWindow_); }

// A program without a console has no standard error a person sees. The event log takes the entry
// whatever folder the program lies in, which is often what failed.
void Win32Backend::reportError(const std::string& text) {
  Backend::reportError(text);
  if (HANDLE log = RegisterEventSourceW(nullptr, L"Kelvado")) {
    const std::wstring wide = widen("ケルバド: " + text);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(log);
  }
}

std::unique_ptr<FormPeer> Win32Backend::createFormPeer(Form& form) {
  return std::make_unique<Win32FormPeer>(form, *shared_);
}

std::unique_ptr<TimerPeer> Win32Backend::createTimerPeer(Timer& timer) {
  return std::make_unique<Win32TimerPeer>(*this, timer);
}

LRESULT CALLBACK Win32Backend::timerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* backend = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message != WM_TIMER || !backend) return DefWindowProcW(window, message, wParam, lParam);
  return guarded(*backend->shared_, [&]() -> LRESULT {
    // A tick already queued for a timer that has gone since finds nothing.
    const auto found = backend->timers_.find(wParam);
    if (found != backend->timers_.end()) found->second->timer().tick();
    return 0;
  });
}

void Win32Backend::messageBox(MessageKind kind, const std::string& caption, const std::string& text) {
  // Owned by one of our windows, so that it stays above that window even when it is top-most.
  HWND owner = GetActiveWindow();
  if (!Win32FormPeer::of(owner)) owner = shared_->mainWindow;
  const ModalBox box{owner, widen(caption), widen(text),
                     static_cast<UINT>(MB_OK | (kind == MessageKind::Error ? MB_ICONSTOP : MB_ICONINFORMATION))};
  if (modalHook_) {
    modalHook_(box);
    return;
  }
  // Modal to the whole program: the box disables its owner, and our other windows wait too.
  struct Paused {
    HWND owner;
    std::vector<HWND> windows;
  } paused{owner, {}};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM list) -> BOOL {
        auto& p = *reinterpret_cast<Paused*>(list);
        if (window != p.owner && Win32FormPeer::of(window) && IsWindowEnabled(window)) p.windows.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&paused));
  for (HWND window : paused.windows) EnableWindow(window, FALSE);
  MessageBoxW(box.owner, box.text.c_str(), box.caption.c_str(), box.type);
  for (HWND window : paused.windows) EnableWindow(window, TRUE);
}

// Tab moves the focus among a window's tab stops in the definition's order.
bool Win32Backend::takeTab(const MSG& message) const {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || GetKeyState(VK_CONTROL) < 0 ||
      GetKeyState(VK_MENU) < 0)
    return false;
  Win32FormPeer* form = Win32FormPeer::of(GetAncestor(message.hwnd, GA_ROOT));
  if (!form) return false;
  const auto code = SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message));
  if (code & DLGC_WANTTAB) return false;
  form->focusNext(message.hwnd, GetKeyState(VK_SHIFT) < 0);
  return true;
}

void Win32Backend::runMessageLoop() {
  loopRunning_ = true;
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      const Application* app = shared_->application;
      if (!app || app->terminated()) break;
      // The loop was told to end without the program having decided so: the main window still
      // gets its close request, and the program ends only if it agrees.
      requestMainWindowClose();
      if (app->terminated()) {
        MSG ours;
        PeekMessageW(&ours, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        break;
      }
      continue;
    }
    if (takeTab(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  loopRunning_ = false;
}

// Outside the loop there is nothing to end, and a WM_QUIT then would end the next modal box's
// loop at once instead.
void Win32Backend::quitMessageLoop() {
  if (loopRunning_) PostQuitMessage(0);
}

void Win32Backend::requestMainWindowClose() {
  Application* app = shared_->application;
  if (!app || app->terminated() || closing_) return;
  Form* main = app->mainForm();
  if (!main) return;
  closing_ = true;
  main->userClose();
  closing_ = false;
}

HWND Win32Backend::controlWindow(Form& form, int control) {
  Win32FormPeer* peer = Win32FormPeer::of(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(form.handle())));
  return peer ? peer->controlWindow(control) : nullptr;
}

}  // namespace kelvado::win32
