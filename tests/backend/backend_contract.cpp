// The contract every backend keeps, run against the backend of the test binary it is built into
// (see backend_contract.h): each control kind on real native controls.
#include "backend_contract.h"

#include <gtest/gtest.h>

#include <tuple>

#include "forms/pictures.h"

namespace kelvado::testing {
namespace {

using namespace colors;

enum Id : int { Box, Caption, List, Tick, Picker, Press, Book, Note, Hidden };

constexpr const char* kItems[] = {"なし", "年", "/"};

// Laid out like the windows' definitions, one control to a row.
// clang-format off
constexpr ControlDef kControls[] = {
    {.kind = ControlKind::Panel, .name = "Box", .width = 200, .height = 60, .text = "箱", .hint = "箱の説明",
     .centered = true},
    {.kind = ControlKind::Label, .name = "Caption", .parent = Box, .left = 4, .top = 4, .width = 21, .height = 12,
     .text = "lab1", .autoSize = true},
    {.kind = ControlKind::ComboBox, .name = "List", .parent = Box, .left = 4, .top = 30, .width = 45, .height = 20,
     .items = kItems, .tabStop = false, .itemHeight = 12, .color = clWindow},
    {.kind = ControlKind::CheckBox, .name = "Tick", .left = 210, .width = 17, .height = 20},
    {.kind = ControlKind::DatePicker, .name = "Picker", .top = 70, .width = 121, .height = 20, .tabStop = false,
     .color = clWindow},
    {.kind = ControlKind::Button, .name = "Press", .left = 130, .top = 70, .width = 21, .height = 21, .text = "1",
     .hint = "押す"},
    {.kind = ControlKind::BitButton, .name = "Book", .left = 160, .top = 70, .width = 33, .height = 25,
     .picture = kVersionButtonPicture},
    {.kind = ControlKind::Memo, .name = "Note", .top = 100, .width = 200, .height = 40, .text = "一行目\n二行目",
     .enabled = false, .readOnly = true, .scrollBars = ScrollBars::Both, .color = clWindow},
    {.kind = ControlKind::Edit, .name = "Hidden", .width = 50, .height = 20, .text = "隠し", .visible = false},
};
// clang-format on

constexpr TimerDef kTimers[] = {{.name = "Tock"}};

constexpr FormDef kForm{.name = "TestForm",
                        .caption = "試験",
                        .clientWidth = 240,
                        .clientHeight = 150,
                        .border = BorderStyle::Single,
                        .maximizeBox = false,
                        .scaled = false,
                        .controls = kControls,
                        .timers = kTimers};

bool sameDay(const LocalDateTime& a, const LocalDateTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

class BackendContract : public ::testing::Test {
 protected:
  void SetUp() override {
    driver->answerModalBoxes([this](const ShownBox& box) { boxes.push_back(box); });
    form.create();
    form.show();
    driver->waitExposed(form);
  }
  Control& control(Id id) { return form.control(id); }
  Shown shown(Id id) { return driver->shown(form, id); }
  void click(Id id, int x, int y) {
    driver->press(form, id, MouseButton::Left, {}, x, y);
    driver->release(form, id, MouseButton::Left, x, y);
  }

  std::unique_ptr<BackendDriver> driver = makeDriver();
  Application app{driver->backend()};
  Form form{app, kForm};
  std::vector<ShownBox> boxes;
};

TEST_F(BackendContract, ProgramChangesRunNoChangeHandlers) {
  int changes = 0, clicks = 0;
  control(List).onChange = [&] { ++changes; };
  control(Picker).onChange = [&] { ++changes; };
  control(Tick).onClick = [&] { ++clicks; };

  control(List).setItemIndex(2);
  control(Picker).setDate({2003, 4, 7, 10, 0, 0});
  control(Tick).setChecked(true);  // a program-set state change counts as one click, not two

  EXPECT_EQ(shown(List).itemIndex, 2);
  EXPECT_TRUE(sameDay(shown(Picker).date, {2003, 4, 7}));
  EXPECT_TRUE(shown(Tick).checked);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(clicks, 1);

  control(List).setItemIndex(7);  // outside the list: no selection
  EXPECT_EQ(shown(List).itemIndex, -1);
  EXPECT_EQ(changes, 0);
}

TEST_F(BackendContract, UserInputReachesTheHandlersOnce) {
  int listChanges = 0, dateChanges = 0, clicks = 0;
  control(List).onChange = [&] { ++listChanges; };
  control(Picker).onChange = [&] { ++dateChanges; };
  control(Tick).onClick = [&] { ++clicks; };
  control(List).setItemIndex(0);
  control(Picker).setDate({2003, 4, 7, 23, 59, 58});

  driver->pickNextItem(form, List);
  EXPECT_EQ(listChanges, 1);
  EXPECT_EQ(control(List).itemIndex(), 1);

  const Rect tick = shown(Tick).bounds;
  click(Tick, tick.width / 2, tick.height / 2);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(control(Tick).checked());

  driver->stepDate(form, Picker);
  EXPECT_EQ(dateChanges, 1);
  const LocalDateTime d = control(Picker).date();
  EXPECT_FALSE(sameDay(d, {2003, 4, 7}));
  EXPECT_TRUE(sameDay(d, shown(Picker).date));
  EXPECT_EQ(d.hour * 3600 + d.minute * 60 + d.second, 23 * 3600 + 59 * 60 + 58) << "time of day kept";
}

TEST_F(BackendContract, MousePressesCarryTheirButtonAndActOnThePress) {
  std::vector<std::tuple<MouseButton, bool, int, int>> presses;
  control(Box).onMouseDown = [&](MouseButton b, ShiftState s, int x, int y) { presses.emplace_back(b, s.shift, x, y); };
  driver->press(form, Box, MouseButton::Left, {}, 10, 11);
  driver->press(form, Box, MouseButton::Right, {}, 12, 13);
  driver->press(form, Box, MouseButton::Middle, {.shift = true}, 14, 15);
  ASSERT_EQ(presses.size(), 3u);
  EXPECT_EQ(presses[0], std::make_tuple(MouseButton::Left, false, 10, 11));
  EXPECT_EQ(presses[1], std::make_tuple(MouseButton::Right, false, 12, 13));
  EXPECT_EQ(presses[2], std::make_tuple(MouseButton::Middle, true, 14, 15));

  // A button that acts on the press: the press reaches it, the keyboard's click does nothing.
  int pressDowns = 0;
  control(Press).onMouseDown = [&](MouseButton, ShiftState, int, int) { ++pressDowns; };
  driver->press(form, Press, MouseButton::Right, {}, 10, 10);
  EXPECT_EQ(pressDowns, 1);
  driver->release(form, Press, MouseButton::Right, 10, 10);
  driver->keyboardClick(form, Press);
  EXPECT_EQ(pressDowns, 1);
}

TEST_F(BackendContract, LabelClicksOncePerClickAndDoubleClick) {
  int clicks = 0;
  control(Caption).onClick = [&] { ++clicks; };
  click(Caption, 2, 2);
  EXPECT_EQ(clicks, 1);
  driver->doubleClick(form, Caption, 2, 2);
  EXPECT_EQ(clicks, 2);
  driver->press(form, Caption, MouseButton::Right, {}, 2, 2);
  driver->release(form, Caption, MouseButton::Right, 2, 2);
  EXPECT_EQ(clicks, 2);
}

TEST_F(BackendContract, ControlsShowWhatTheDefinitionAsks) {
  for (int i = 0; i < static_cast<int>(std::size(kControls)); ++i) {
    const ControlDef& d = kControls[i];
    SCOPED_TRACE(std::string(d.name));
    // A hidden edit only holds text: nothing native.
    ASSERT_EQ(driver->hasNative(form, i), d.visible || d.kind != ControlKind::Edit);
    if (!driver->hasNative(form, i)) continue;
    const Shown s = driver->shown(form, i);
    if (d.autoSize)
      EXPECT_EQ((std::pair{s.bounds.left, s.bounds.top}), (std::pair{d.left, d.top}));
    else
      EXPECT_EQ(s.bounds, (Rect{d.left, d.top, d.width, d.height}));
    EXPECT_EQ(s.visible, d.visible);
    EXPECT_EQ(s.enabled, d.enabled);
  }
  EXPECT_EQ(shown(Box).text, "箱");
  EXPECT_EQ(shown(Caption).text, "lab1");
  control(Caption).setText("2003");  // a label sized to its text follows it
  EXPECT_EQ(shown(Caption).bounds.width, driver->textWidth(form, Caption, "2003"));
  EXPECT_EQ(shown(Caption).bounds.height, 12);

  const Shown list = shown(List);
  EXPECT_EQ(list.items, (std::vector<std::string>{"なし", "年", "/"}));
  EXPECT_FALSE(list.editable);
  EXPECT_EQ(list.itemHeight, 12);

  const Shown note = shown(Note);
  EXPECT_EQ(note.text, "一行目\n二行目");
  EXPECT_TRUE(note.readOnly);
  EXPECT_FALSE(note.enabled);
  EXPECT_TRUE(note.wordWrap);
  EXPECT_TRUE(note.horizontalBar);
  EXPECT_TRUE(note.verticalBar);

  control(Hidden).setText("2003年04月07日");  // with no native control, setting its text still works
  EXPECT_EQ(control(Hidden).text(), "2003年04月07日");
}

TEST_F(BackendContract, PanelTakesItsFlashColourAndBack) {
  const std::uint32_t face = shown(Box).background;
  control(Box).setColor(clYellow);
  EXPECT_EQ(shown(Box).background, 0xFFFF00u);
  control(Box).setColor(clBtnFace);
  EXPECT_EQ(shown(Box).background, face);
}

TEST_F(BackendContract, DatePickerHoldsTheWholeRangeDateOnlyAndFitsItsField) {
  const Shown before = shown(Picker);
  EXPECT_TRUE(before.dropDownCalendar);
  EXPECT_TRUE(sameDay(before.firstDate, {1601, 1, 1}));
  EXPECT_TRUE(sameDay(before.lastDate, {9999, 12, 31}));
  EXPECT_EQ(before.bounds, (Rect{0, 70, 121, 20}));
  // The 28th of September is among the widest dates in most languages; 13:57 shows nowhere.
  control(Picker).setDate({2000, 9, 28, 13, 57, 0});
  const Shown picker = shown(Picker);
  EXPECT_EQ(picker.text.find("57"), std::string::npos) << picker.text;
  EXPECT_LE(driver->textWidth(form, Picker, picker.text), driver->dateFieldRoom(form, Picker)) << picker.text;
}

TEST_F(BackendContract, PictureButtonShowsItsLeftHalfAndGreysWithItsRightHalf) {
  const Drawn normal = driver->picture(form, Book, true);
  const Drawn greyed = driver->picture(form, Book, false);
  ASSERT_EQ(normal.width, 16);
  ASSERT_EQ(normal.height, 16);
  EXPECT_NE(normal.rgb, greyed.rgb);
  EXPECT_EQ(normal.at(7, 7), 0x000000u) << "the book's black spine, from the left half";
  EXPECT_EQ(greyed.at(7, 7), 0x808080u) << "its grey spine, from the right half";
  EXPECT_NE(normal.at(0, 15), 0x808000u) << "the olive corner is transparent";
  EXPECT_EQ(normal.at(0, 15), greyed.at(0, 15));
}

TEST_F(BackendContract, HintsOnlyWhereDefinedWithTheirTiming) {
  for (int i = 0; i < static_cast<int>(std::size(kControls)); ++i) {
    const ControlDef& d = kControls[i];
    if (!driver->hasNative(form, i)) continue;
    EXPECT_EQ(shown(static_cast<Id>(i)).hint, d.hint ? d.hint : "") << d.name;
    if (!d.hint) continue;
    const HintTiming timing = driver->hintTiming(form, i);
    EXPECT_EQ(timing.wakeUpMs, 500) << d.name;
    EXPECT_EQ(timing.durationMs, 2500) << d.name;
  }
}

TEST_F(BackendContract, TimersTickAtTheirIntervalUntilStopped) {
  Timer& timer = form.timer(0);
  int ticks = 0;
  timer.onTimer = [&] { ++ticks; };
  timer.setInterval(0);
  timer.setInterval(1000);  // a new period of a second: nothing yet after a fifth of it
  EXPECT_FALSE(driver->runUntil([&] { return ticks > 0; }, 200));
  timer.setInterval(20);
  EXPECT_TRUE(driver->runUntil([&] { return ticks >= 2; }, 5000));
  timer.setInterval(0);
  const int stopped = ticks;
  driver->runUntil([] { return false; }, 100);
  EXPECT_EQ(ticks, stopped);
}

TEST_F(BackendContract, ModalBoxesAreTheProgramsOwn) {
  app.setTitle("2003年04月07日(月)");
  app.showInformation("パターン3にこのパターンを記憶しました");
  app.showError("失敗");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].icon, MessageKind::Information);
  EXPECT_EQ(boxes[0].caption, "情報");
  EXPECT_EQ(boxes[0].text, "パターン3にこのパターンを記憶しました");
  EXPECT_EQ(boxes[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(boxes[0].okIsDefaultAndEscape);
  EXPECT_EQ(boxes[1].icon, MessageKind::Error);
  EXPECT_EQ(boxes[1].caption, "2003年04月07日(月)");
  EXPECT_EQ(boxes[1].text, "失敗.");
  EXPECT_EQ(boxes[1].buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(boxes[1].okIsDefaultAndEscape);
}

TEST_F(BackendContract, AnErrorInAHandlerShowsOneBoxAndTheProgramRunsOn) {
  int presses = 0;
  control(Box).onMouseDown = [&](MouseButton, ShiftState, int, int) {
    if (++presses == 1) throw Error("パターンが壊れています");
  };
  driver->press(form, Box, MouseButton::Left, {}, 5, 5);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, MessageKind::Error);
  EXPECT_EQ(boxes[0].text, "パターンが壊れています.");
  driver->press(form, Box, MouseButton::Left, {}, 5, 5);
  EXPECT_EQ(presses, 2);
  EXPECT_EQ(boxes.size(), 1u);
}

}  // namespace
}  // namespace kelvado::testing
