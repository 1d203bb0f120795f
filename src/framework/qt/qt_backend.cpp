#include "framework/qt/qt_backend.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>

#include "framework/qt/qt_close_requests.h"
#include "framework/qt/qt_controls.h"
#include "framework/qt/qt_form.h"

namespace kelvado::qt {

namespace {

// Hints wake up sooner than Qt's default; how long they stay is set on each control.
class HintTimingStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return kHintWakeUpMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

QtTimerPeer::QtTimerPeer(Timer& timer) {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [&timer] { timer.tick(); });
}

QtBackend::QtBackend(std::unique_ptr<QApplication> app) : app_(std::move(app)) {
  // Only the program ends the loop, when its main window has agreed to close.
  QApplication::setQuitOnLastWindowClosed(false);
  if (!dynamic_cast<HintTimingStyle*>(QApplication::style())) QApplication::setStyle(new HintTimingStyle);
  closeRequests_ = std::make_unique<CloseRequests>([this] { requestMainWindowClose(); });
}

QtBackend::~QtBackend() = default;

std::unique_ptr<FormPeer> QtBackend::createFormPeer(Form& form) {
  auto peer = std::make_unique<QtFormPeer>(form, frames_);
  if (!application_) {
    // The first window is the main window.
    application_ = &form.application();
    if (!form.def().icon.empty()) QApplication::setWindowIcon(QIcon(QPixmap(form.def().icon.data())));
    mainWindow_ = peer->widget();
  }
  return peer;
}

std::unique_ptr<TimerPeer> QtBackend::createTimerPeer(Timer& timer) { return std::make_unique<QtTimerPeer>(timer); }

void QtBackend::messageBox(MessageKind kind, const std::string& caption, const std::string& text) {
  // Owned by one of our windows, so that the window manager keeps it above that window even
  // when the window stays on top.
  QWidget* owner = QApplication::activeWindow();
  if (!owner) owner = mainWindow_;
  QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                  QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::NoButton, owner);
  box.setTextFormat(Qt::PlainText);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  if (modalHook_)
    modalHook_(box);
  else
    box.exec();
}

void QtBackend::runMessageLoop() {
  loopRunning_ = true;
  QApplication::exec();
  loopRunning_ = false;
}

// exit() rather than quit(): quit() first asks every window to close, and ours refuse, since a
// close request means something else to the program. Outside the loop there is nothing to end,
// and an exit() then would end the next modal box's loop at once instead.
void QtBackend::quitMessageLoop() {
  if (loopRunning_) QCoreApplication::exit(0);
}

void QtBackend::requestMainWindowClose() {
  if (!application_ || closing_) return;
  closing_ = true;
  application_->closeForSession();
  closing_ = false;
}

}  // namespace kelvado::qt
