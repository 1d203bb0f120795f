// The one interface over the operating system's services. Implementations: x11/ (Linux),
// win32/ (Windows) and fake/ (tests).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/types.h"
#include "shortcut.h"

namespace kelvado {

class Platform {
 public:
  virtual ~Platform() = default;

  // The window the user is working in, or 0 when there is none.
  virtual WindowId foregroundWindow() = 0;
  // True when the window was made by this very program: any of its windows, whatever their kind
  // (a message box, a menu, one the toolkit keeps for itself), shown or not. False for 0 and for
  // every other program's windows, another running copy of this program included. Called on
  // every 500 ms look at the foreground window, so it must be cheap.
  virtual bool isOwnWindow(WindowId window) = 0;
  // Asks for the window to become the foreground window and waits, briefly and boundedly,
  // until it really has the keyboard focus. A window that no longer exists is ignored.
  virtual void bringToFront(WindowId window) = 0;
  // Ctrl down, V down, Ctrl up, V up, to whichever window has the keyboard focus.
  virtual void sendCtrlV() = 0;
  // Replaces the clipboard's contents with plain text (UTF-8 here).
  virtual void setClipboardText(const std::string& text) = 0;
  // Empty when pastes can reach other programs' windows on this desktop. Otherwise what is
  // missing and the one thing the user can do about it, in the words the program shows; the
  // date still goes to the clipboard.
  virtual std::string missingPasteRoute() { return {}; }
  enum class ShortcutStatus { Registered, Taken, Unsupported };
  // Calls `pressed` from the event loop whenever the shortcut is pressed, in whatever window has
  // the focus; Taken when another program holds it already.
  virtual ShortcutStatus registerShortcut(const Shortcut& /*shortcut*/, std::function<void()> /*pressed*/) {
    return ShortcutStatus::Unsupported;
  }
  // Returns once the user has let go of Ctrl, Alt, Shift and Win, or after a bounded wait: keys
  // sent while they are still down would reach the target as another combination.
  virtual void waitForModifiersUp() {}
  // The monitors' full bounds, as enumerated when asked.
  virtual std::vector<MonitorRect> monitors() = 0;
  // The running executable's full path (UTF-8).
  virtual std::string executablePath() = 0;
  // The local date and time of day from the system clock.
  virtual LocalDateTime localNow() = 0;
};

}  // namespace kelvado
