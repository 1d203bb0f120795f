// The Qt 6 Widgets backend: windows, timers, modal boxes and the message loop.
#pragma once

#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "framework/framework.h"
#include "framework/qt/qt_form.h"

class QApplication;
class QMessageBox;
class QWidget;

namespace kelvado::qt {

class CloseRequests;

class QtTimerPeer final : public TimerPeer {
 public:
  explicit QtTimerPeer(Timer& timer);
  void start(int intervalMs) override { timer_.start(intervalMs); }
  void stop() override { timer_.stop(); }
  const QTimer& qtimer() const { return timer_; }

 private:
  QTimer timer_;
};

class QtBackend final : public Backend {
 public:
  // Needs a QApplication. The program's entry hands its own over, so that it outlives the
  // windows; tests keep theirs.
  explicit QtBackend(std::unique_ptr<QApplication> app = nullptr);
  ~QtBackend() override;

  std::unique_ptr<FormPeer> createFormPeer(Form& form) override;
  std::unique_ptr<TimerPeer> createTimerPeer(Timer& timer) override;
  void setApplicationTitle(const std::string& title) override { applicationTitle_ = title; }
  void messageBox(MessageKind kind, const std::string& caption, const std::string& text) override;
  void runMessageLoop() override;
  void quitMessageLoop() override;

  // X11 has no task-bar title of the application's own; the main window's caption serves.
  const std::string& applicationTitle() const { return applicationTitle_; }

  // Tests answer for the window manager here, before the first window is made.
  Frames& frames() { return frames_; }

  // Tests answer modal boxes here: the hook gets the finished box instead of a person.
  void setModalHook(std::function<void(QMessageBox&)> hook) { modalHook_ = std::move(hook); }

  // A request from outside the windows (a signal, the end of the desktop session) to close the
  // program: the settings are saved, and a failure is reported on standard error rather than in
  // a box, since the program ends all the same (Application::closeForSession).
  void requestMainWindowClose();

 private:
  std::unique_ptr<QApplication> app_;  // first in, last out: everything below needs it
  Application* application_ = nullptr;
  QPointer<QWidget> mainWindow_;
  Frames frames_;
  std::string applicationTitle_;
  std::function<void(QMessageBox&)> modalHook_;
  std::unique_ptr<CloseRequests> closeRequests_;
  bool closing_ = false;
  bool loopRunning_ = false;
};

}  // namespace kelvado::qt
