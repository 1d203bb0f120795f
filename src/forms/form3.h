// The notation dialog: six choice lists with their previews on a panel, a note on the digit
// choices, the five pattern buttons and the way to the help window.
#pragma once

#include <algorithm>
#include <iterator>
#include <string_view>

#include "framework/definition.h"

namespace kelvado::form3 {

// Indexes into kControls, in the order the dialog declares its members.
enum ControlId : int {
  Panel1,
  ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6,
  Label1, Label2, Label3, Label4, Label5, Label6,
  lab1, lab2, lab3, lab4, lab5, lab6,
  Label13, Button1, Memo1,
  bt1, bt2, bt3, bt4, bt5,
  Label7,
};

// Choice lists by notation field position 1..6, their previews, and the pattern buttons by slot.
inline constexpr ControlId kLists[] = {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6};
inline constexpr ControlId kPreviews[] = {lab1, lab2, lab3, lab4, lab5, lab6};
inline constexpr ControlId kPatternButtons[] = {bt1, bt2, bt3, bt4, bt5};

using namespace colors;

// Item i of a list stands for value i of its field.
inline constexpr const char* kYearItems[] = {"なし", "2桁", "4桁", "和暦", "略号"};
inline constexpr const char* kAfterYearItems[] = {"なし", "年", "/", "-", "."};
inline constexpr const char* kMonthItems[] = {"1桁", "2桁"};
inline constexpr const char* kAfterMonthItems[] = {"月", "/", "-", "."};
inline constexpr const char* kDayItems[] = {"1桁", "2桁"};
inline constexpr const char* kAfterDayItems[] = {"なし", "日"};

// The lists take picks only; keyboard focus cycles through the pattern buttons alone, so the
// lists, the memo and the help button are no tab stops.
inline constexpr ControlDef kControls[] = {
    {.kind = ControlKind::Panel, .name = "Panel1", .left = 0, .top = 0, .width = 291, .height = 81,
     .tabOrder = 5, .tabStop = false},

    {.kind = ControlKind::ComboBox, .name = "ComboBox1", .parent = Panel1, .left = 8, .top = 56, .width = 45,
     .height = 20, .items = kYearItems, .tabOrder = 0, .tabStop = false, .itemHeight = 12, .color = clWindow},
    {.kind = ControlKind::ComboBox, .name = "ComboBox2", .parent = Panel1, .left = 54, .top = 56, .width = 45,
     .height = 20, .items = kAfterYearItems, .tabOrder = 1, .tabStop = false, .itemHeight = 12, .color = clWindow},
    {.kind = ControlKind::ComboBox, .name = "ComboBox3", .parent = Panel1, .left = 101, .top = 56, .width = 45,
     .height = 20, .items = kMonthItems, .tabOrder = 2, .tabStop = false, .itemHeight = 12, .color = clWindow},
    {.kind = ControlKind::ComboBox, .name = "ComboBox4", .parent = Panel1, .left = 147, .top = 56, .width = 45,
     .height = 20, .items = kAfterMonthItems, .tabOrder = 3, .tabStop = false, .itemHeight = 12, .color = clWindow},
    {.kind = ControlKind::ComboBox, .name = "ComboBox5", .parent = Panel1, .left = 194, .top = 56, .width = 45,
     .height = 20, .items = kDayItems, .tabOrder = 4, .tabStop = false, .itemHeight = 12, .color = clWindow},
    {.kind = ControlKind::ComboBox, .name = "ComboBox6", .parent = Panel1, .left = 240, .top = 56, .width = 45,
     .height = 20, .items = kAfterDayItems, .tabOrder = 5, .tabStop = false, .itemHeight = 12, .color = clWindow},

    {.kind = ControlKind::Label, .name = "Label1", .parent = Panel1, .left = 8, .top = 24, .width = 36, .height = 12,
     .text = "年表記", .tabStop = false},
    {.kind = ControlKind::Label, .name = "Label2", .parent = Panel1, .left = 62, .top = 24, .width = 24, .height = 12,
     .text = "区切", .tabStop = false},
    {.kind = ControlKind::Label, .name = "Label3", .parent = Panel1, .left = 102, .top = 24, .width = 36,
     .height = 12, .text = "月表記", .tabStop = false},
    {.kind = ControlKind::Label, .name = "Label4", .parent = Panel1, .left = 152, .top = 24, .width = 24,
     .height = 12, .text = "区切", .tabStop = false},
    {.kind = ControlKind::Label, .name = "Label5", .parent = Panel1, .left = 194, .top = 24, .width = 36,
     .height = 12, .text = "日表記", .tabStop = false},
    {.kind = ControlKind::Label, .name = "Label6", .parent = Panel1, .left = 246, .top = 24, .width = 24,
     .height = 12, .text = "区切", .tabStop = false},

    // Previews size themselves to the sample they show.
    {.kind = ControlKind::Label, .name = "lab1", .parent = Panel1, .left = 8, .top = 40, .width = 21, .height = 12,
     .text = "lab1", .tabStop = false, .autoSize = true},
    {.kind = ControlKind::Label, .name = "lab2", .parent = Panel1, .left = 54, .top = 40, .width = 21, .height = 12,
     .text = "lab2", .tabStop = false, .autoSize = true},
    {.kind = ControlKind::Label, .name = "lab3", .parent = Panel1, .left = 101, .top = 40, .width = 21,
     .height = 12, .text = "lab3", .tabStop = false, .autoSize = true},
    {.kind = ControlKind::Label, .name = "lab4", .parent = Panel1, .left = 147, .top = 40, .width = 21,
     .height = 12, .text = "lab4", .tabStop = false, .autoSize = true},
    {.kind = ControlKind::Label, .name = "lab5", .parent = Panel1, .left = 194, .top = 40, .width = 21,
     .height = 12, .text = "lab5", .tabStop = false, .autoSize = true},
    {.kind = ControlKind::Label, .name = "lab6", .parent = Panel1, .left = 240, .top = 40, .width = 21,
     .height = 12, .text = "lab6", .tabStop = false, .autoSize = true},

    {.kind = ControlKind::Label, .name = "Label13", .parent = Panel1, .left = 8, .top = 8, .width = 239,
     .height = 12, .text = "2003年04月07日 を参考に表示設定してください", .tabStop = false,
     .autoSize = true},  // grows to its text where the fallback font is wider than the design's
    {.kind = ControlKind::Button, .name = "Button1", .left = 176, .top = 116, .width = 113, .height = 25,
     .text = "バージョン＆ヘルプ", .tabOrder = 6, .tabStop = false},
    // Greyed out: it is a note, not something to edit or focus.
    {.kind = ControlKind::Memo, .name = "Memo1", .left = 0, .top = 80, .width = 289, .height = 33,
     .text = "注：月・日表記で1桁とは1～9は1桁で他は2桁表示、\n"
             "2桁とは1～9は01～09表示で他は2桁表示になります。",
     .tabOrder = 7, .tabStop = false, .enabled = false, .readOnly = true, .color = clWindow},

    {.kind = ControlKind::Button, .name = "bt1", .left = 52, .top = 118, .width = 21, .height = 21, .text = "1",
     .hint = "パターン1呼出(右クリックで登録)", .tabOrder = 0},
    {.kind = ControlKind::Button, .name = "bt2", .left = 76, .top = 118, .width = 21, .height = 21, .text = "2",
     .hint = "パターン2呼出(右クリックで登録)", .tabOrder = 1},
    {.kind = ControlKind::Button, .name = "bt3", .left = 100, .top = 118, .width = 21, .height = 21, .text = "3",
     .hint = "パターン3呼出(右クリックで登録)", .tabOrder = 2},
    {.kind = ControlKind::Button, .name = "bt4", .left = 124, .top = 118, .width = 21, .height = 21, .text = "4",
     .hint = "パターン4呼出(右クリックで登録)", .tabOrder = 3},
    {.kind = ControlKind::Button, .name = "bt5", .left = 148, .top = 118, .width = 21, .height = 21, .text = "5",
     .hint = "パターン5呼出(右クリックで登録)", .tabOrder = 4},

    {.kind = ControlKind::Label, .name = "Label7", .left = 2, .top = 122, .width = 43, .height = 12,
     .text = "パターン", .hint = "表記パターンを5種類ほど記憶できます", .tabStop = false},
};

struct IdName {
  ControlId id;
  std::string_view name;
};
inline constexpr IdName kIdNames[] = {
    {Panel1, "Panel1"},       {ComboBox1, "ComboBox1"}, {ComboBox2, "ComboBox2"}, {ComboBox3, "ComboBox3"},
    {ComboBox4, "ComboBox4"}, {ComboBox5, "ComboBox5"}, {ComboBox6, "ComboBox6"}, {Label1, "Label1"},
    {Label2, "Label2"},       {Label3, "Label3"},       {Label4, "Label4"},       {Label5, "Label5"},
    {Label6, "Label6"},       {lab1, "lab1"},           {lab2, "lab2"},           {lab3, "lab3"},
    {lab4, "lab4"},           {lab5, "lab5"},           {lab6, "lab6"},           {Label13, "Label13"},
    {Button1, "Button1"},     {Memo1, "Memo1"},         {bt1, "bt1"},             {bt2, "bt2"},
    {bt3, "bt3"},             {bt4, "bt4"},             {bt5, "bt5"},             {Label7, "Label7"},
};
static_assert(std::size(kIdNames) == std::size(kControls) &&
              std::ranges::all_of(kIdNames, [](IdName p) { return kControls[p.id].name == p.name; }));

inline constexpr FormDef kDefinition{
    .name = "Form3",
    .caption = "ケルバド 表示形式の設定",
    .clientWidth = 291,
    .clientHeight = 142,
    .border = BorderStyle::Dialog,
    .minimizeBox = false,
    .maximizeBox = false,
    .scaled = false,
    .position = FormPosition::DesktopCenter,
    .controls = kControls,
};

}  // namespace kelvado::form3
