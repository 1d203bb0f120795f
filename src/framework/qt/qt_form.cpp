#include "framework/qt/qt_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

#include "framework/qt/qt_controls.h"

namespace kelvado::qt {

namespace {

constexpr double kDesignDpi = 96.0;

// Forms designed without scaling keep their pixel sizes; the others grow with the desktop's
// pixels per inch, counted in whole dots as the design was.
double scaleFor(const FormDef& def) {
  if (!def.scaled) return 1.0;
  return static_cast<double>(std::lround(QGuiApplication::primaryScreen()->logicalDotsPerInch())) / kDesignDpi;
}

// The flags become the window's Motif hints, which with the size hints are all a window manager
// is told. openbox 3.6 leaves maximising out for a fixed-size window, yet draws an inert
// maximise button wherever there is a minimise button, and it keeps every dialog's minimise
// button: no hint of the window's changes either.
Qt::WindowFlags flagsFor(const FormDef& def) {
  Qt::WindowFlags flags = def.border == BorderStyle::Dialog ? Qt::Dialog : Qt::Window;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (def.border != BorderStyle::Dialog) {
    if (def.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    if (def.maximizeBox) flags |= Qt::WindowMaximizeButtonHint;
  }
  return flags;
}

// The definition names a Windows face that Linux does not have; the Japanese faces that a
// Debian desktop does have follow it, and fontconfig fills in whatever glyph is still missing.
QFont formFont(const FontDef& def, double scale) {
  QFont font(QStringList{QString::fromUtf8(def.name), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                         QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(static_cast<int>(std::lround(def.pixelHeight * scale)));
  return font;
}

QMargins frameOf(const QWidget& window) {
  const QRect inner = window.geometry();
  const QRect outer = window.frameGeometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

}  // namespace

class FormWindow final : public QWidget {
 public:
  FormWindow(Form& form, Frames& frames) : QWidget(nullptr, flagsFor(form.def())), form_(form), frames_(frames) {}

  std::vector<QWidget*> clientAligned;

 protected:
  // The program decides what a close request means: the main window asks its close query and
  // ends the program, any other window hides.
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    form_.userClose();
  }

  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    for (QWidget* w : clientAligned) w->setGeometry(rect());
  }

  void moveEvent(QMoveEvent* event) override {
    QWidget::moveEvent(event);
    noteFrame();
  }
  void showEvent(QShowEvent* event) override {
    QWidget::showEvent(event);
    noteFrame();
  }

 private:
  // Once the window manager has framed a window, its frame is the best guess for the next one.
  void noteFrame() {
    if (isVisible() && !frameOf(*this).isNull()) frames_.lastSeen = frameOf(*this);
  }

  Form& form_;
  Frames& frames_;
};

QtFormPeer::QtFormPeer(Form& form, Frames& frames)
    : form_(form), frames_(frames), window_(std::make_unique<FormWindow>(form, frames)) {
  const FormDef& def = form.def();
  const double scale = scaleFor(def);
  FormWindow& w = *window_;
  w.setObjectName(QString::fromUtf8(def.name.data(), static_cast<qsizetype>(def.name.size())));
  w.setWindowTitle(QString::fromUtf8(def.caption));
  w.setFont(formFont(def.font, scale));
  setColors(w, QPalette::Window, def.color, QPalette::WindowText, def.font.color);
  const QSize client(static_cast<int>(std::lround(def.clientWidth * scale)),
                     static_cast<int>(std::lround(def.clientHeight * scale)));
  if (def.border == BorderStyle::Sizeable)
    w.resize(client);
  else
    w.setFixedSize(client);
  if (def.position == FormPosition::Designed) w.move(def.left, def.top);
  // Shown as soon as it is made, and placed before that by its outer size: the window manager
  // works the frame out while the controls are being made.
  if (def.visible) pendingFrame_ = frames.ask(w);

  std::vector<QWidget*> widgets;
  std::vector<std::pair<int, QWidget*>> tabStops;
  for (int i = 0; i < static_cast<int>(def.controls.size()); ++i) {
    const ControlDef& c = def.controls[static_cast<std::size_t>(i)];
    if (!needsNativeControl(c)) {
      widgets.push_back(nullptr);
      controls_.push_back(nullptr);
      continue;
    }
    QWidget* parent = c.parent < 0 ? &w : widgets.at(static_cast<std::size_t>(c.parent));
    const BuiltControl built = buildControl(form.control(i), parent, scale);
    if (c.align == Align::Client) {
      built.widget->setGeometry(parent->rect());
      if (parent == &w) w.clientAligned.push_back(built.widget);
    }
    if (built.widget->focusPolicy() & Qt::TabFocus) tabStops.emplace_back(c.tabOrder, built.widget);
    widgets.push_back(built.widget);
    controls_.push_back(built.peer);
  }
  std::ranges::stable_sort(tabStops, {}, &std::pair<int, QWidget*>::first);
  for (std::size_t i = 1; i < tabStops.size(); ++i) QWidget::setTabOrder(tabStops[i - 1].second, tabStops[i].second);
}

QtFormPeer::~QtFormPeer() = default;

QWidget* QtFormPeer::widget() const { return window_.get(); }

ControlPeer* QtFormPeer::controlPeer(int index) { return controls_.at(static_cast<std::size_t>(index)); }

void QtFormPeer::setCaption(const std::string& caption) { window_->setWindowTitle(QString::fromStdString(caption)); }

void QtFormPeer::setStayOnTop(bool on) {
  // Before the first show the flag goes into the window's initial state, so the window manager
  // keeps it above from the start; later Qt has to make the native window anew.
  const bool wasVisible = window_->isVisible();
  window_->setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (wasVisible) window_->show();
}

void QtFormPeer::setVisible(bool visible) {
  if (!visible) {
    window_->hide();
    return;
  }
  placeBeforeShow();
  window_->show();
  shownBefore_ = true;
}

void QtFormPeer::placeBeforeShow() {
  const Rect outer = outerBounds();
  const QRect bounds(outer.left, outer.top, outer.width, outer.height);
  if (form_.def().position == FormPosition::DesktopCenter) {
    // Centred on the desktop the first time; after that it comes back where it was left.
    if (shownBefore_ || window_->testAttribute(Qt::WA_Moved)) return;
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    window_->move(desktop.left() + (desktop.width() - outer.width) / 2,
                  desktop.top() + (desktop.height() - outer.height) / 2);
    return;
  }
  // A window opened from another monitor's window follows the user there.
  const QWidget* active = QApplication::activeWindow();
  const QScreen* here = QGuiApplication::screenAt(bounds.center());
  if (!active || active == window_.get() || !here || active->screen() == here) return;
  const auto monitor = [](const QRect& g) {
    return MonitorRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  };
  const Rect moved = moveOntoMonitor(outer, monitor(here->geometry()), monitor(active->screen()->geometry()));
  window_->move(moved.left, moved.top);
}

void QtFormPeer::bringToFront() {
  window_->raise();
  window_->activateWindow();
}

WindowId QtFormPeer::windowId() { return static_cast<WindowId>(window_->winId()); }

Rect QtFormPeer::outerBounds() const {
  const FormWindow& w = *window_;
  // Qt knows the frame only once the window manager has drawn one.
  const QMargins frame = shownBefore_ ? frameOf(w) : frameBeforeShow();
  const QPoint at = w.pos();  // a top-level's position is its frame's
  return {at.x(), at.y(), w.width() + frame.left() + frame.right(), w.height() + frame.top() + frame.bottom()};
}

QMargins QtFormPeer::frameBeforeShow() const {
  if (!frameAnswered_) {
    if (!pendingFrame_) pendingFrame_ = frames_.ask(*window_);
    answeredFrame_ = pendingFrame_();
    pendingFrame_ = nullptr;
    frameAnswered_ = true;
  }
  return answeredFrame_.value_or(frames_.lastSeen);
}

void QtFormPeer::moveTo(int left, int top) { window_->move(left, top); }

}  // namespace kelvado::qt
