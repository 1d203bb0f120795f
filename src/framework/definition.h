// Window definitions as data: what a backend builds and what tests check against.
#pragma once

#include <span>
#include <string_view>

#include "framework/types.h"

namespace kelvado {

enum class ControlKind { Label, Edit, Memo, Panel, ComboBox, Button, BitButton, CheckBox, DatePicker };

enum class BorderStyle { Single, Sizeable, Dialog };

enum class FormPosition { Designed, DesktopCenter };

enum class Align { None, Client };

enum class ScrollBars { None, Horizontal, Vertical, Both };

// Pictures are XPM sources so that they live in the repository as reviewable text.
using XpmImage = std::span<const char* const>;

struct FontDef {
  const char* name = "ＭＳ Ｐゴシック";
  int pixelHeight = 12;
  TColor color = colors::clWindowText;
};

struct ControlDef {
  ControlKind kind = ControlKind::Label;
  std::string_view name;
  int parent = -1;  // index of the parent control in the same definition; -1 is the form
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  const char* text = "";       // caption, edit text, or memo lines separated by '\n'
  const char* hint = nullptr;  // nullptr: no hint for this control
  std::span<const char* const> items{};
  int tabOrder = 0;
  bool tabStop = true;
  bool visible = true;
  bool enabled = true;
  bool readOnly = false;
  bool autoSize = false;
  bool centered = false;
  Align align = Align::None;
  ScrollBars scrollBars = ScrollBars::None;  // memos
  bool wordWrap = true;                      // memos: wrap long lines at the right edge
  int itemHeight = 0;                        // drop-down lists: row height in pixels; 0 = toolkit's
  TColor color = colors::clBtnFace;
  TColor fontColor = colors::clWindowText;
  XpmImage picture{};  // push buttons with a picture: normal and disabled images side by side
  // False: a click on it leaves the active window of another program active, where the system
  // lets a window decline the activation a click brings. For a control that pastes there.
  bool activatesWindow = true;
};

struct TimerDef {
  std::string_view name;
  int interval = 1000;
};

struct FormDef {
  std::string_view name;
  const char* caption = "";
  int left = 0;
  int top = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  // The outer size, frame and caption included, where the design gives one: a backend that makes
  // the frame itself makes the window this size and the client what the frame leaves of it (a
  // sizeable window whose controls follow the client area). 0: the client size decides.
  int outerWidth = 0;
  int outerHeight = 0;
  BorderStyle border = BorderStyle::Sizeable;
  bool minimizeBox = true;
  bool maximizeBox = true;
  bool visible = false;
  bool scaled = true;
  FormPosition position = FormPosition::Designed;
  TColor color = colors::clBtnFace;
  FontDef font{};
  // The first window's icon is the application's: every window and the taskbar button show it.
  XpmImage icon{};
  std::span<const ControlDef> controls{};
  std::span<const TimerDef> timers{};
};

// A hidden edit only holds text for the program, which the core keeps: a backend makes no
// native control for it.
constexpr bool needsNativeControl(const ControlDef& d) { return d.visible || d.kind != ControlKind::Edit; }

// Labels and panels never take the keyboard focus.
constexpr bool focusable(const ControlDef& d) { return d.kind != ControlKind::Label && d.kind != ControlKind::Panel; }

// Hints appear after the pointer has rested this long over a control, and go after the second.
inline constexpr int kHintWakeUpMs = 500;
inline constexpr int kHintDurationMs = 2500;

// Lets a window's definition prove at compile time that its id enum matches its table.
template <std::size_t N>
constexpr bool namesMatch(const ControlDef (&controls)[N], std::span<const std::string_view> names) {
  if (names.size() != N) return false;
  for (std::size_t i = 0; i < N; ++i)
    if (controls[i].name != names[i]) return false;
  return true;
}

}  // namespace kelvado
