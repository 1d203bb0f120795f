// The contract every backend keeps with the program, checked on its real native controls: what
// the program sets stays silent, what the user does reaches the handlers once, and the controls
// show what the definitions ask for. Each backend's tests supply a driver that makes the backend,
// does what a person would do to its controls and reads back what they show.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/framework.h"

namespace kelvado::testing {

// A modal box as a person met it.
struct ShownBox {
  MessageKind icon;  // the information icon or the stop icon
  std::string caption;
  std::string text;
  std::vector<std::string> buttons;
  bool okIsDefaultAndEscape = false;
};

// What a control's native counterpart shows; fields that do not apply to its kind stay as they are.
struct Shown {
  std::string text;  // caption, label or panel text, memo text with "\n" between lines, date text
  Rect bounds;       // in its parent's client area
  bool visible = false;
  bool enabled = false;
  std::string hint;              // empty when it has none
  std::uint32_t background = 0;  // 0xRRGGBB behind the control's text

  std::vector<std::string> items;  // lists
  int itemIndex = -1;
  int itemHeight = 0;
  bool editable = false;

  bool readOnly = false;  // memos
  bool wordWrap = false;
  bool horizontalBar = false;
  bool verticalBar = false;

  bool checked = false;  // check boxes

  LocalDateTime date{};  // date pickers: the date part only
  LocalDateTime firstDate{};
  LocalDateTime lastDate{};
  bool dropDownCalendar = false;
};

// A picture as the control draws it, 0xRRGGBB, over the control's own background.
struct Drawn {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgb;
  std::uint32_t at(int x, int y) const { return rgb.at(static_cast<std::size_t>(y * width + x)); }
};

struct HintTiming {
  int wakeUpMs = 0;
  int durationMs = 0;
};

class BackendDriver {
 public:
  virtual ~BackendDriver() = default;

  virtual Backend& backend() = 0;
  // Every modal box goes to `answer` and is then dismissed with OK, instead of waiting for a person.
  virtual void answerModalBoxes(std::function<void(const ShownBox&)> answer) = 0;
  // Runs the event loop until `done` or the timeout; false on timeout.
  virtual bool runUntil(const std::function<bool()>& done, int timeoutMs) = 0;
  // Waits until a shown window is on the screen.
  virtual void waitExposed(Form& form) = 0;

  virtual bool hasNative(Form& form, int control) = 0;
  virtual Shown shown(Form& form, int control) = 0;
  virtual int textWidth(Form& form, int control, const std::string& text) = 0;
  // The width the date text has in a date picker's field.
  virtual int dateFieldRoom(Form& form, int control) = 0;
  // A picture button's picture, as drawn while the button is enabled or disabled.
  virtual Drawn picture(Form& form, int control, bool enabled) = 0;
  virtual HintTiming hintTiming(Form& form, int control) = 0;

  // A person's mouse and keyboard, at points in the control's own pixels.
  virtual void press(Form& form, int control, MouseButton button, ShiftState shift, int x, int y) = 0;
  virtual void release(Form& form, int control, MouseButton button, int x, int y) = 0;
  virtual void doubleClick(Form& form, int control, int x, int y) = 0;
  // The space bar on the control, focused.
  virtual void keyboardClick(Form& form, int control) = 0;
  // The down arrow in a focused list.
  virtual void pickNextItem(Form& form, int control) = 0;
  // The keyboard moves a focused date picker's date on by a step (a day, a month or a year).
  virtual void stepDate(Form& form, int control) = 0;
};

// Each backend's tests define this.
std::unique_ptr<BackendDriver> makeDriver();

}  // namespace kelvado::testing
