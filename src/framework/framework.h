// The toolkit-free window framework: controls, forms, timers and the application object.
// All behaviour the program relies on (which changes fire handlers, timer semantics, the
// error barrier) lives here once; backends only mirror state and forward user input.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/definition.h"
#include "framework/types.h"

namespace kelvado {

class Application;
class Form;

// Which piece of a control's state changed, so a backend refreshes only that.
enum class ControlProperty { Text, Color, FontColor, Checked, ItemIndex, Date, Enabled };

class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void update(ControlProperty what) = 0;
};

class Control {
 public:
  Control(Form& form, const ControlDef& def);

  const ControlDef& def() const { return def_; }
  Form& form() const { return form_; }

  // Setters used by the program. None of them runs a change handler, except that a check box
  // set to a different state runs its click handler, as a user's click would.
  const std::string& text() const { return text_; }
  void setText(std::string text);
  TColor color() const { return color_; }
  void setColor(TColor color);
  TColor fontColor() const { return fontColor_; }
  void setFontColor(TColor color);
  bool checked() const { return checked_; }
  void setChecked(bool checked);
  int itemIndex() const { return itemIndex_; }
  void setItemIndex(int index);  // an index outside the items leaves no selection (-1)
  const LocalDateTime& date() const { return date_; }
  void setDate(const LocalDateTime& date);
  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);

  // Entry points for real input, called by a backend. Each runs its handler behind the
  // application's error barrier.
  void userClick();
  void userSetChecked(bool checked);
  void userPickItem(int index);
  void userChangeDate(const LocalDateTime& date);
  void userMouseDown(MouseButton button, ShiftState shift, int x, int y);

  std::function<void()> onClick;
  std::function<void()> onChange;
  std::function<void(MouseButton, ShiftState, int, int)> onMouseDown;

  void attach(ControlPeer* peer) { peer_ = peer; }

 private:
  void changed(ControlProperty what);

  Form& form_;
  const ControlDef& def_;
  ControlPeer* peer_ = nullptr;
  std::string text_;
  TColor color_;
  TColor fontColor_;
  bool checked_ = false;
  int itemIndex_ = -1;
  LocalDateTime date_{};
  bool enabled_;
};

class TimerPeer {
 public:
  virtual ~TimerPeer() = default;
  virtual void start(int intervalMs) = 0;  // (re)starts the period from now
  virtual void stop() = 0;
};

class Timer {
 public:
  Timer(Application& app, const TimerDef& def);

  const TimerDef& def() const { return def_; }
  int interval() const { return interval_; }
  // 0 stops the timer; a different interval starts a new period; the same one changes nothing.
  void setInterval(int ms);
  bool running() const { return running_; }

  void tick();  // called by the backend on each period; runs the handler behind the barrier
  void attach(TimerPeer* peer);

  std::function<void()> onTimer;

 private:
  void reschedule();

  Application& app_;
  const TimerDef& def_;
  TimerPeer* peer_ = nullptr;
  int interval_;
  bool running_ = false;
};

class FormPeer {
 public:
  virtual ~FormPeer() = default;
  virtual ControlPeer* controlPeer(int index) = 0;
  virtual void setCaption(const std::string& caption) = 0;
  virtual void setStayOnTop(bool on) = 0;
  virtual void setVisible(bool visible) = 0;
  virtual void bringToFront() = 0;
  // The platform window id; creates the native window if there is none yet.
  virtual WindowId windowId() = 0;
  // Outer bounds, frame and caption included, in screen coordinates.
  virtual Rect outerBounds() const = 0;
  virtual void moveTo(int left, int top) = 0;
};

enum class MessageKind { Information, Error };

class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::unique_ptr<FormPeer> createFormPeer(Form& form) = 0;
  virtual std::unique_ptr<TimerPeer> createTimerPeer(Timer& timer) = 0;
  virtual void setApplicationTitle(const std::string& title) = 0;
  // The one seam for modal boxes: returns when the user has dismissed the box.
  virtual void messageBox(MessageKind kind, const std::string& caption, const std::string& text) = 0;
  // Reports an error when no one may be there to answer a box (the session is ending): on
  // standard error, unless the backend knows a better place.
  virtual void reportError(const std::string& text);
  virtual void runMessageLoop() = 0;
  virtual void quitMessageLoop() = 0;
};

class Form {
 public:
  Form(Application& app, const FormDef& def);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const FormDef& def() const { return def_; }
  Application& application() const { return app_; }
  Control& control(int index) { return *controls_[static_cast<std::size_t>(index)]; }
  Timer& timer(int index) { return *timers_[static_cast<std::size_t>(index)]; }

  // Builds the native window, runs the creation handler, then shows the window when its
  // definition marks it visible. Called once, by the program's start-up.
  void create();

  const std::string& caption() const { return caption_; }
  void setCaption(std::string caption);
  bool stayOnTop() const { return stayOnTop_; }
  void setStayOnTop(bool on);
  bool visible() const { return visible_; }
  // Shows a hidden window, running the show handler before the window is mapped, or brings a
  // visible one to the front.
  void show();
  void hide();
  // A close request: the main window asks its close-query handler and ends the program;
  // any other window just hides.
  void close();
  WindowId handle();

  int left() const { return peer_->outerBounds().left; }
  int top() const { return peer_->outerBounds().top; }
  int width() const { return peer_->outerBounds().width; }
  int height() const { return peer_->outerBounds().height; }
  // The window goes no farther than 16777215 pixels from the origin on either axis.
  void setLeft(int left);
  void setTop(int top);

  std::function<void()> onCreate;
  std::function<void()> onShow;
  std::function<void(bool& canClose)> onCloseQuery;

  // Entry points for the backend.
  void userClose() { close(); }
  void userHidden();  // the window manager or user hid it in a way we did not ask for

 private:
  Application& app_;
  const FormDef& def_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<std::unique_ptr<Timer>> timers_;
  std::unique_ptr<FormPeer> peer_;
  std::vector<std::unique_ptr<TimerPeer>> timerPeers_;
  std::string caption_;
  bool stayOnTop_ = false;
  bool visible_ = false;
  bool closeFailedBefore_ = false;  // a close query has failed once
};

class Application {
 public:
  explicit Application(Backend& backend);

  Backend& backend() const { return backend_; }
  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  Form* mainForm() const { return mainForm_; }

  // The error barrier: runs an event handler and shows anything it raises in the default
  // error display, then lets the program run on.
  void guard(const std::function<void()>& handler);
  void showError(const std::string& message);
  void showInformation(const std::string& text);

  void run();
  void terminate();
  bool terminated() const { return terminated_; }

  // A close the desktop session asks for (a termination signal, log-off, shut-down), as opposed
  // to one the user asks for with the close box. The main window's close query runs as for any
  // close, so the settings are saved, but the session's close cannot be refused: an error it
  // raises goes to Backend::reportError rather than into a box, the program ends all the same,
  // and with exit status 1. Backends call it for their platform's end-of-session requests.
  void closeForSession();
  // What the process should end with: 0, or 1 after a session close whose close query failed.
  int exitStatus() const { return exitStatus_; }

 private:
  friend class Form;
  void formCreated(Form& form);

  Backend& backend_;
  std::string title_;
  Form* mainForm_ = nullptr;
  bool terminated_ = false;
  int exitStatus_ = 0;
};

// The default error display appends a full stop unless the message already ends in one or
// in a character that sorts at or below it.
std::string errorDisplayText(const std::string& message);

// Where a window at `outer` on monitor `from` goes on monitor `to`, when it opens from a window
// of the other monitor: at the same offset from the monitor's left and top edges, then pulled
// left and up until its right and bottom edges are on the monitor. It keeps its size.
Rect moveOntoMonitor(const Rect& outer, const MonitorRect& from, const MonitorRect& to);

}  // namespace kelvado
