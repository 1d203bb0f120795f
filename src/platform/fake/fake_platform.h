// A platform for in-process tests: every call is recorded, every answer is set by the test.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kelvado::fake {

class FakePlatform : public Platform {
 public:
  WindowId foregroundWindow() override {
    log.push_back("foreground");
    return foreground;
  }
  bool isOwnWindow(WindowId window) override { return ownWindows.contains(window); }
  void bringToFront(WindowId window) override {
    log.push_back("bringToFront " + std::to_string(window));
    if (window != 0) foreground = window;
  }
  void sendCtrlV() override { log.push_back("ctrl+v"); }
  void setClipboardText(const std::string& text) override {
    clipboard = text;
    log.push_back("clipboard " + text);
  }
  std::string missingPasteRoute() override { return missingRoute; }
  ShortcutStatus registerShortcut(const Shortcut& s, std::function<void()> pressed) override {
    log.push_back("shortcut " + s.text());
    if (shortcutStatus == ShortcutStatus::Registered) shortcutPressed = std::move(pressed);
    return shortcutStatus;
  }
  void waitForModifiersUp() override { log.push_back("modifiers up"); }
  std::vector<MonitorRect> monitors() override { return monitorList; }
  std::string executablePath() override { return exePath; }
  LocalDateTime localNow() override { return now; }

  WindowId foreground = 0;
  // The program's windows other than the three that record their handles.
  std::set<WindowId> ownWindows;
  std::string clipboard;
  std::string missingRoute;
  ShortcutStatus shortcutStatus = ShortcutStatus::Registered;
  std::function<void()> shortcutPressed;
  std::vector<std::string> log;
  std::vector<MonitorRect> monitorList{{0, 0, 1024, 768}};
  std::string exePath = "/opt/kelvado/kelvado";
  LocalDateTime now{2003, 4, 7, 10, 0, 0};
};

}  // namespace kelvado::fake
