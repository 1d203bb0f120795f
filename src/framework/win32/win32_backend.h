// The plain Win32 backend: windows from the definitions with user32, gdi32 and the common
// controls; timers, modal boxes and the message loop.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "framework/framework.h"

namespace kelvado::win32 {

class Shared;
class Win32TimerPeer;

// A modal box as it is about to be shown.
struct ModalBox {
  HWND owner;
  std::wstring caption;
  std::wstring text;
  UINT type;  // MB_OK and the icon
};

class Win32Backend final : public Backend {
 public:
  // Raises Error when the common controls cannot provide the date picker.
  Win32Backend();
  ~Win32Backend() override;

  std::unique_ptr<FormPeer> createFormPeer(Form& form) override;
  std::unique_ptr<TimerPeer> createTimerPeer(Timer& timer) override;
  // The main window's task-bar button shows its caption, which the program keeps equal to the
  // title (both are the date text); the title itself is only kept here.
  void setApplicationTitle(const std::string& title) override { applicationTitle_ = title; }
  void messageBox(MessageKind kind, const std::string& caption, const std::string& text) override;
  // Also to the Application event log, where Windows users and administrators look.
  void reportError(const std::string& text) override;
  void runMessageLoop() override;
  void quitMessageLoop() override;

  const std::string& applicationTitle() const { return applicationTitle_; }

  // Tests answer modal boxes here: the hook gets the box instead of a person.
  void setModalHook(std::function<void(const ModalBox&)> hook) { modalHook_ = std::move(hook); }

  // Windows ends the process at will once the session's end has been announced: the program
  // ends it first, with the status that tells whether the settings were saved. Tests that end a
  // session in their own process turn this off.
  void setEndProcessAtSessionEnd(bool end) { endProcessAtSessionEnd_ = end; }

  // A request from outside the windows (a quit the program did not post) to close the program as
  // the main window's close box would, so that the settings are saved.
  void requestMainWindowClose();

  // The native window behind a form's control, made now if need be, or null for one without a window.
  static HWND controlWindow(Form& form, int control);

 private:
  friend class Win32TimerPeer;
  static LRESULT CALLBACK timerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool takeTab(const MSG& message) const;

  std::unique_ptr<Shared> shared_;
  HWND timerWindow_ = nullptr;
  std::map<UINT_PTR, Win32TimerPeer*> timers_;
  UINT_PTR nextTimerId_ = 1;
  std::string applicationTitle_;
  std::function<void(const ModalBox&)> modalHook_;
  bool closing_ = false;
  bool loopRunning_ = false;
  bool endProcessAtSessionEnd_ = true;
};

}  // namespace kelvado::win32
