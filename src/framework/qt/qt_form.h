// A window built from its definition: a top-level QWidget with the definition's controls.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <memory>
#include <vector>

#include "framework/framework.h"

class QWidget;

namespace kelvado::qt {

class FormWindow;

class QtFormPeer final : public FormPeer {
 public:
  // `frameEstimate` is shared by all windows: the frame the window manager last drew, used for
  // the outer size of a window before it has been shown.
  QtFormPeer(Form& form, QMargins& frameEstimate);
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

  const Form& form_;
  QMargins& frameEstimate_;
  std::unique_ptr<FormWindow> window_;
  std::vector<ControlPeer*> controls_;
  bool shownBefore_ = false;
};

// Where a window at `outer` on monitor `from` goes on monitor `to`: at the same offset from the
// monitor's left and top edges, then pulled left and up until its right and bottom edges are on
// the monitor.
QPoint moveOntoMonitor(const QRect& outer, const QRect& from, const QRect& to);

}  // namespace kelvado::qt
