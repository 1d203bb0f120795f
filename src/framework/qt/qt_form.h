// A window built from its definition: a top-level QWidget with the definition's controls.
#pragma once

#include <QMargins>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "framework/framework.h"
#include "framework/qt/qt_frame_extents.h"

class QWidget;

namespace kelvado::qt {

class FormWindow;

// What the windows know of the window manager's frames, shared by all of them: the outer size
// of a window that has not been shown yet must count the frame it is going to get.
struct Frames {
  // Asks the window manager which frame a window will get.
  std::function<FrameAnswer(const QWidget&)> ask = askFrameExtents;
  // The frame the window manager drew last: the guess when it cannot tell.
  QMargins lastSeen;
};

class QtFormPeer final : public FormPeer {
 public:
  QtFormPeer(Form& form, Frames& frames);
  ~QtFormPeer() override;

  QWidget* widget() const;

  ControlPeer* controlPeer(int index) override;
  void setCaption(const std::string& caption) override;
  void setStayOnTop(bool on) override;
  void setVisible(bool visible) override;
  void bringToFront() override;
  WindowId windowId() override;
  Rect outerBounds() const override;
  void moveTo(int left, int top) override;

 private:
  void placeBeforeShow();
  QMargins frameBeforeShow() const;

  const Form& form_;
  Frames& frames_;
  std::unique_ptr<FormWindow> window_;
  std::vector<ControlPeer*> controls_;
  bool shownBefore_ = false;
  // The window manager is asked about the frame once, before the first show; a window defined
  // visible asks as it is made, the others when their outer size is first wanted.
  mutable FrameAnswer pendingFrame_;
  mutable bool frameAnswered_ = false;
  mutable std::optional<QMargins> answeredFrame_;
};

}  // namespace kelvado::qt
