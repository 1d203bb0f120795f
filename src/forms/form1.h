// The main window: one narrow row with the date picker, the weekday label, the copy panel,
// the stay-on-top box and the version button.
#pragma once

#include "forms/pictures.h"
#include "framework/definition.h"

namespace kelvado::form1 {

// Indexes into kControls, in the order of the definition.
enum ControlId : int { lblYoubi, DateTimePicker1, Edit1, Panel1, CheckBox2, Edit2, BitBtn1 };
enum TimerId : int { Timer1, Timer2 };

using namespace colors;

inline constexpr ControlDef kControls[] = {
    {.kind = ControlKind::Label, .name = "lblYoubi", .left = 125, .top = 3, .width = 20, .height = 12,
     .text = "(曜)", .hint = "曜日のON/OFF", .tabStop = false, .color = clWhite, .fontColor = clBlack},
    {.kind = ControlKind::DatePicker, .name = "DateTimePicker1", .left = 0, .top = 0, .width = 121,
     .height = 20, .tabOrder = 1, .tabStop = false, .color = clWindow},
    {.kind = ControlKind::Edit, .name = "Edit1", .left = 8, .top = 0, .width = 105, .height = 20,
     .text = "Edit1", .tabOrder = 2, .tabStop = false, .visible = false, .color = clWindow},
    {.kind = ControlKind::Panel, .name = "Panel1", .left = 152, .top = 1, .width = 41, .height = 19,
     .text = "コピー", .hint = "ケルバド(右クリックは表示変更)", .tabOrder = 0, .centered = true,
     .activatesWindow = false},
    {.kind = ControlKind::CheckBox, .name = "CheckBox2", .left = 198, .top = 1, .width = 17,
     .height = 20, .hint = "常に前面表示のON/OFF(次回起動時有効)", .tabOrder = 3, .tabStop = false},
    {.kind = ControlKind::Edit, .name = "Edit2", .left = 16, .top = 0, .width = 105, .height = 20,
     .tabOrder = 4, .visible = false, .color = clWindow},
    {.kind = ControlKind::BitButton, .name = "BitBtn1", .left = 216, .top = 0, .width = 33,
     .height = 25, .hint = "バージョン情報", .tabOrder = 5, .picture = kVersionButtonPicture},
};

static_assert(kControls[lblYoubi].name == "lblYoubi" && kControls[DateTimePicker1].name == "DateTimePicker1" &&
              kControls[Edit1].name == "Edit1" && kControls[Panel1].name == "Panel1" &&
              kControls[CheckBox2].name == "CheckBox2" && kControls[Edit2].name == "Edit2" &&
              kControls[BitBtn1].name == "BitBtn1" && std::size(kControls) == 7);

inline constexpr TimerDef kTimers[] = {{.name = "Timer1"}, {.name = "Timer2", .interval = 500}};

inline constexpr FormDef kDefinition{
    .name = "Form1",
    .caption = "ケルバド",
    .left = 273,
    .top = 184,
    .clientWidth = 250,
    .clientHeight = 23,
    .border = BorderStyle::Single,
    .minimizeBox = true,
    .maximizeBox = false,
    .visible = true,
    .scaled = false,
    .icon = kApplicationIcon,
    .controls = kControls,
    .timers = kTimers,
};

}  // namespace kelvado::form1
