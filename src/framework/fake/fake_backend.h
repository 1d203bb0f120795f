// An in-process backend without a display: windows and timers are plain records, time moves
// only when a test advances it, and modal boxes are answered at once.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/framework.h"

namespace kelvado::fake {

class FakeFormPeer;
class FakeTimerPeer;

struct MessageBoxRecord {
  MessageKind kind;
  std::string caption;
  std::string text;
};

class FakeBackend : public Backend {
 public:
  FakeBackend();
  ~FakeBackend() override;

  std::unique_ptr<FormPeer> createFormPeer(Form& form) override;
  std::unique_ptr<TimerPeer> createTimerPeer(Timer& timer) override;
  void setApplicationTitle(const std::string& title) override { applicationTitle = title; }
  void messageBox(MessageKind kind, const std::string& caption, const std::string& text) override;
  void reportError(const std::string& text) override { reports.push_back(text); }
  void runMessageLoop() override { loopRunning = true; }
  void quitMessageLoop() override { loopRunning = false; }

  // Moves the clock on, running every timer tick that falls due, in time order.
  void advance(int ms);
  int nowMs() const { return now_; }

  FakeFormPeer& peer(const Form& form) const;

  std::string applicationTitle;
  std::vector<MessageBoxRecord> messageBoxes;
  std::vector<std::string> reports;  // errors reported without a box
  bool loopRunning = false;
  // The frame a window manager would add around a window's client area.
  int frameLeft = 4, frameTop = 24, frameRight = 4, frameBottom = 4;

 private:
  friend class FakeTimerPeer;
  friend class FakeFormPeer;
  int now_ = 0;
  WindowId nextWindowId_ = 0x400001;
  std::vector<FakeTimerPeer*> timers_;
  std::map<const Form*, FakeFormPeer*> forms_;
};

class FakeFormPeer : public FormPeer {
 public:
  FakeFormPeer(FakeBackend& backend, Form& form);
  ~FakeFormPeer() override;

  ControlPeer* controlPeer(int) override { return nullptr; }
  void setCaption(const std::string& c) override { caption = c; }
  void setStayOnTop(bool on) override { stayOnTop = on; }
  void setVisible(bool v) override {
    if (v && !visible) captionsWhenShown.push_back(caption);
    visible = v;
  }
  void bringToFront() override { ++broughtToFront; }
  WindowId windowId() override;
  Rect outerBounds() const override { return bounds; }
  void moveTo(int left, int top) override {
    bounds.left = left;
    bounds.top = top;
  }

  std::string caption;
  // The caption each time the window was mapped.
  std::vector<std::string> captionsWhenShown;
  bool stayOnTop = false;
  bool visible = false;
  int broughtToFront = 0;
  Rect bounds;
  WindowId id = 0;

 private:
  FakeBackend& backend_;
  const Form& form_;
};

}  // namespace kelvado::fake
