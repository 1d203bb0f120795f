#include "framework/framework.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

namespace kelvado {

// ---- Control ---------------------------------------------------------------------------------

Control::Control(Form& form, const ControlDef& def)
    : form_(form), def_(def), text_(def.text), color_(def.color), fontColor_(def.fontColor), enabled_(def.enabled) {}

void Control::changed(ControlProperty what) {
  if (peer_) peer_->update(what);
}

void Control::setText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  changed(ControlProperty::Text);
}

void Control::setColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  changed(ControlProperty::Color);
}

void Control::setFontColor(TColor color) {
  if (color == fontColor_) return;
  fontColor_ = color;
  changed(ControlProperty::FontColor);
}

void Control::setChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  changed(ControlProperty::Checked);
  if (onClick) onClick();
}

void Control::setItemIndex(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= def_.items.size()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  changed(ControlProperty::ItemIndex);
}

void Control::setDate(const LocalDateTime& date) {
  if (date == date_) return;
  date_ = date;
  changed(ControlProperty::Date);
}

void Control::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  changed(ControlProperty::Enabled);
}

void Control::userClick() {
  form_.application().guard([this] {
    if (onClick) onClick();
  });
}

void Control::userSetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  userClick();
}

void Control::userPickItem(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= def_.items.size()) return;
  itemIndex_ = index;
  form_.application().guard([this] {
    if (onChange) onChange();
  });
}

void Control::userChangeDate(const LocalDateTime& date) {
  date_ = date;
  form_.application().guard([this] {
    if (onChange) onChange();
  });
}

void Control::userMouseDown(MouseButton button, ShiftState shift, int x, int y) {
  form_.application().guard([&] {
    if (onMouseDown) onMouseDown(button, shift, x, y);
  });
}

// ---- Timer -----------------------------------------------------------------------------------

Timer::Timer(Application& app, const TimerDef& def) : app_(app), def_(def), interval_(def.interval) {}

void Timer::attach(TimerPeer* peer) {
  peer_ = peer;
  reschedule();
}

void Timer::setInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  reschedule();
}

void Timer::reschedule() {
  if (!peer_) return;
  peer_->stop();
  running_ = interval_ > 0;
  if (running_) peer_->start(interval_);
}

void Timer::tick() {
  if (!running_) return;
  app_.guard([this] {
    if (onTimer) onTimer();
  });
}

// ---- Form ------------------------------------------------------------------------------------

Form::Form(Application& app, const FormDef& def) : app_(app), def_(def), caption_(def.caption) {
  for (const ControlDef& c : def.controls) controls_.push_back(std::make_unique<Control>(*this, c));
  for (const TimerDef& t : def.timers) timers_.push_back(std::make_unique<Timer>(app, t));
}

Form::~Form() {
  // Peers point into the controls and timers: detach before either side goes.
  for (auto& t : timers_) t->attach(nullptr);
  for (auto& c : controls_) c->attach(nullptr);
}

void Form::create() {
  peer_ = app_.backend().createFormPeer(*this);
  for (std::size_t i = 0; i < controls_.size(); ++i) controls_[i]->attach(peer_->controlPeer(static_cast<int>(i)));
  for (auto& t : timers_) {
    timerPeers_.push_back(app_.backend().createTimerPeer(*t));
    t->attach(timerPeers_.back().get());
  }
  app_.formCreated(*this);
  app_.guard([this] {
    if (onCreate) onCreate();
  });
  if (def_.visible) show();
}

void Form::setCaption(std::string caption) {
  caption_ = std::move(caption);
  peer_->setCaption(caption_);
}

void Form::setStayOnTop(bool on) {
  stayOnTop_ = on;
  peer_->setStayOnTop(on);
}

void Form::show() {
  if (visible_) {
    peer_->bringToFront();
    return;
  }
  visible_ = true;
  // The handler runs before the window is mapped, so that nobody, a task bar included, ever sees
  // the window without what the handler puts in it (the main window's date caption).
  app_.guard([this] {
    if (onShow) onShow();
  });
  peer_->setVisible(true);
  peer_->bringToFront();
}

void Form::hide() {
  if (!visible_) return;
  visible_ = false;
  peer_->setVisible(false);
}

void Form::userHidden() { visible_ = false; }

void Form::close() {
  if (this != app_.mainForm()) {
    hide();
    return;
  }
  bool canClose = true;
  bool handled = false;
  app_.guard([&] {
    if (onCloseQuery) onCloseQuery(canClose);
    handled = true;
  });
  // An error in the close query (the settings could not be saved) abandons the first close, so
  // that the user can put it right and close again. Asked once more, the user means to leave
  // anyway, having seen the error twice: a program kept in a folder no one may write to (Program
  // Files, /usr/bin) must never hold its user.
  if (!handled && !closeFailedBefore_) {
    closeFailedBefore_ = true;
    return;
  }
  if (canClose) {
    hide();
    app_.terminate();
  }
}

WindowId Form::handle() { return peer_->windowId(); }

namespace {
// A position read from a hand-edited file may lie anywhere in the 32-bit range, where a toolkit's
// edge-plus-size arithmetic overflows. No desktop reaches this far, so a window put beyond it is
// just as far off every monitor where it stands instead.
constexpr int kFarthestPosition = (1 << 24) - 1;

int withinReach(int position) { return std::clamp(position, -kFarthestPosition, kFarthestPosition); }
}  // namespace

void Form::setLeft(int left) { peer_->moveTo(withinReach(left), top()); }

void Form::setTop(int top) { peer_->moveTo(left(), withinReach(top)); }

// ---- Application -----------------------------------------------------------------------------

Application::Application(Backend& backend) : backend_(backend) {}

void Application::setTitle(std::string title) {
  title_ = std::move(title);
  backend_.setApplicationTitle(title_);
}

void Application::formCreated(Form& form) {
  if (!mainForm_) mainForm_ = &form;
}

void Application::guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    showError(e.what());
  }
}

std::string errorDisplayText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void Backend::reportError(const std::string& text) {
  std::fprintf(stderr, "kelvado: %s\n", text.c_str());
  std::fflush(stderr);
}

void Application::showError(const std::string& message) {
  backend_.messageBox(MessageKind::Error, title_, errorDisplayText(message));
}

void Application::showInformation(const std::string& text) {
  backend_.messageBox(MessageKind::Information, "情報", text);
}

void Application::closeForSession() {
  if (terminated_ || !mainForm_) return;
  std::string failure;
  try {
    bool canClose = true;  // asked, but the session does not take no for an answer
    if (mainForm_->onCloseQuery) mainForm_->onCloseQuery(canClose);
  } catch (const Error& e) {
    failure = e.detail().empty() ? e.what() : std::string(e.what()) + ": " + e.detail();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (!failure.empty()) {
    backend_.reportError(failure);
    exitStatus_ = 1;
  }
  mainForm_->hide();
  terminate();
}

void Application::run() {
  if (!terminated_) backend_.runMessageLoop();
}

void Application::terminate() {
  terminated_ = true;
  backend_.quitMessageLoop();
}

Rect moveOntoMonitor(const Rect& outer, const MonitorRect& from, const MonitorRect& to) {
  Rect moved = outer;
  moved.left = std::min(to.left + (outer.left - from.left), to.right - outer.width);
  moved.top = std::min(to.top + (outer.top - from.top), to.bottom - outer.height);
  return moved;
}

}  // namespace kelvado
