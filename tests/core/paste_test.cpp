// The paste: target tracking by the 500 ms poll, the copy panel's buttons and its flash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rig.h"
#include "shortcut.h"

namespace kelvado::testing {
namespace {

using namespace colors;
using Log = std::vector<std::string>;

constexpr int kPollMs = 500;
constexpr int kFlashTickMs = 100;
constexpr WindowId kEditor = 0x1c00007;
constexpr WindowId kOtherEditor = 0x2a00011;
constexpr WindowId kMessageBox = 0x400123;

struct Paste : ::testing::Test {
  Paste() { rig.start(); }
  // One poll with the given window in the foreground.
  void tickWith(WindowId foreground) {
    rig.platform.foreground = foreground;
    rig.backend.advance(kPollMs);
  }
  // The platform calls a click makes, without those of the poll.
  Log clickLog(MouseButton button) {
    rig.platform.log.clear();
    rig.form1().Panel1.userMouseDown(button, {}, 5, 5);
    return rig.platform.log;
  }

  Rig rig;
};

TEST_F(Paste, ThePollRecordsForeignWindowsAndSkipsTheProgramsOwn) {
  tickWith(kEditor);
  EXPECT_EQ(rig.state.TargetWindow, kEditor);
  tickWith(rig.state.Form1Handle);
  EXPECT_EQ(rig.state.TargetWindow, kEditor);

  rig.form1().BitBtn1.userClick();
  rig.form1().Panel1.userMouseDown(MouseButton::Right, {}, 5, 5);
  ASSERT_NE(rig.state.Form2Handle, 0u);
  ASSERT_NE(rig.state.Form3Handle, 0u);
  for (const WindowId own : {rig.state.Form1Handle, rig.state.Form2Handle, rig.state.Form3Handle}) {
    tickWith(own);
    EXPECT_EQ(rig.state.TargetWindow, kEditor);
  }
  // Nor does any other window of the program, such as a message box left open over a tick.
  rig.platform.ownWindows = {kMessageBox};
  tickWith(kMessageBox);
  EXPECT_EQ(rig.state.TargetWindow, kEditor);
  // Any other window is foreign, a second copy of the program included.
  tickWith(kOtherEditor);
  EXPECT_EQ(rig.state.TargetWindow, kOtherEditor);
}

TEST_F(Paste, NoForegroundWindowCountsAsAHandleLikeAnyOther) {
  tickWith(kEditor);
  // The help window and the dialog have not been shown: their handles are 0 and so is "none".
  tickWith(0);
  EXPECT_EQ(rig.state.TargetWindow, kEditor);
  rig.form1().BitBtn1.userClick();
  tickWith(0);
  EXPECT_EQ(rig.state.TargetWindow, kEditor);
  rig.form1().Panel1.userMouseDown(MouseButton::Right, {}, 5, 5);
  // All three shown: 0 is now a foreign answer like any other.
  tickWith(0);
  EXPECT_EQ(rig.state.TargetWindow, 0u);
}

TEST_F(Paste, PollsOnlyOnTheTickAndForTheWholeRun) {
  rig.platform.foreground = kEditor;
  rig.backend.advance(kPollMs - 1);
  EXPECT_EQ(rig.state.TargetWindow, 0u);
  rig.backend.advance(1);
  EXPECT_EQ(rig.state.TargetWindow, kEditor);
  rig.platform.foreground = kOtherEditor;
  rig.backend.advance(100 * kPollMs);
  EXPECT_EQ(rig.state.TargetWindow, kOtherEditor);
}

TEST_F(Paste, LeftClickCopiesThenBringsTheTargetBackThenTypesCtrlV) {
  tickWith(kEditor);
  tickWith(rig.state.Form1Handle);
  EXPECT_EQ(clickLog(MouseButton::Left),
            (Log{"clipboard 2003年04月07日(月)", "bringToFront " + std::to_string(kEditor), "ctrl+v"}));
  EXPECT_EQ(rig.form1().Edit2.text(), "2003年04月07日(月)");
  // A second click pastes again, into the same target.
  EXPECT_EQ(clickLog(MouseButton::Left),
            (Log{"clipboard 2003年04月07日(月)", "bringToFront " + std::to_string(kEditor), "ctrl+v"}));
}

// On a desktop that lets no program paste into another, the first click says what to do, once.
TEST_F(Paste, AMissingPasteRouteIsToldOnceAfterTheFirstClicksPaste) {
  tickWith(kEditor);
  rig.platform.missingRoute = "拡張機能を有効にしてください";
  const Log paste{"clipboard 2003年04月07日(月)", "bringToFront " + std::to_string(kEditor), "ctrl+v"};
  EXPECT_EQ(clickLog(MouseButton::Left), paste);
  ASSERT_EQ(rig.backend.messageBoxes.size(), 1u);
  EXPECT_EQ(rig.backend.messageBoxes[0].kind, MessageKind::Information);
  EXPECT_EQ(rig.backend.messageBoxes[0].text, "拡張機能を有効にしてください");
  EXPECT_EQ(clickLog(MouseButton::Left), paste);
  EXPECT_EQ(rig.backend.messageBoxes.size(), 1u);
}

TEST_F(Paste, LeftClickBeforeAnyForeignWindowStillFillsTheClipboard) {
  tickWith(rig.state.Form1Handle);
  EXPECT_EQ(clickLog(MouseButton::Left), (Log{"clipboard 2003年04月07日(月)", "bringToFront 0", "ctrl+v"}));
  EXPECT_EQ(rig.platform.clipboard, "2003年04月07日(月)");
}

TEST_F(Paste, TheTextIsTheCaptionWithOrWithoutTheWeekday) {
  TForm1& f = rig.form1();
  clickLog(MouseButton::Left);
  EXPECT_EQ(rig.platform.clipboard, "2003年04月07日(月)");
  f.lblYoubi.userClick();
  clickLog(MouseButton::Left);
  EXPECT_EQ(rig.platform.clipboard, "2003年04月07日");
  EXPECT_EQ(rig.platform.clipboard, f.caption());
  f.DateTimePicker1.userChangeDate({2010, 11, 25, 0, 0, 0});
  f.lblYoubi.userClick();
  clickLog(MouseButton::Left);
  EXPECT_EQ(rig.platform.clipboard, "2010年11月25日(木)");
  // A flag other than 1 means off.
  rig.state.yobichek = 5;
  clickLog(MouseButton::Left);
  EXPECT_EQ(rig.platform.clipboard, "2010年11月25日");
}

TEST_F(Paste, RightClickFlashesAndOpensTheDialogWithoutTouchingClipboardOrTarget) {
  tickWith(kEditor);
  rig.platform.clipboard = "held before";
  EXPECT_EQ(clickLog(MouseButton::Right), Log{});
  EXPECT_EQ(rig.platform.clipboard, "held before");
  EXPECT_TRUE(rig.form3().visible());
  EXPECT_EQ(rig.form1().Panel1.color(), clYellow);
  EXPECT_TRUE(rig.form1().Timer1.running());
  EXPECT_EQ(rig.state.TargetWindow, kEditor);
}

TEST_F(Paste, MiddleClickDoesNothingAtAll) {
  tickWith(kEditor);
  EXPECT_EQ(clickLog(MouseButton::Middle), Log{});
  EXPECT_EQ(rig.form1().Panel1.color(), clBtnFace);
  EXPECT_FALSE(rig.form1().Timer1.running());
  EXPECT_FALSE(rig.form3().visible());
  EXPECT_EQ(rig.platform.clipboard, "");
}

TEST_F(Paste, TheFlashLastsTwoTicks) {
  TForm1& f = rig.form1();
  clickLog(MouseButton::Left);
  EXPECT_EQ(f.Panel1.color(), clYellow);
  EXPECT_EQ(f.Timer1.interval(), kFlashTickMs);
  EXPECT_EQ(rig.state.FlashCount, 0);
  rig.backend.advance(kFlashTickMs);
  EXPECT_EQ(f.Panel1.color(), clYellow);
  EXPECT_EQ(rig.state.FlashCount, 1);
  rig.backend.advance(kFlashTickMs);
  EXPECT_EQ(f.Panel1.color(), clBtnFace);
  EXPECT_FALSE(f.Timer1.running());
  EXPECT_EQ(f.Timer1.interval(), 0);
  EXPECT_EQ(rig.state.FlashCount, 2);
  // The next click flashes again from the start.
  clickLog(MouseButton::Right);
  rig.backend.advance(kFlashTickMs);
  EXPECT_EQ(f.Panel1.color(), clYellow);
  rig.backend.advance(kFlashTickMs);
  EXPECT_EQ(f.Panel1.color(), clBtnFace);
}

TEST_F(Paste, AClickDuringAFlashResetsTheCountButKeepsTheTimersRhythm) {
  TForm1& f = rig.form1();
  clickLog(MouseButton::Left);
  rig.backend.advance(kFlashTickMs / 2);
  clickLog(MouseButton::Left);
  EXPECT_EQ(rig.state.FlashCount, 0);
  // Ticks stay at 100 and 200 ms after the first click; a restarted period would put them
  // at 150 and 250.
  rig.backend.advance(kFlashTickMs / 2);
  EXPECT_EQ(rig.state.FlashCount, 1);
  rig.backend.advance(kFlashTickMs - 1);
  EXPECT_EQ(f.Panel1.color(), clYellow);
  rig.backend.advance(1);
  EXPECT_EQ(f.Panel1.color(), clBtnFace);
  EXPECT_FALSE(f.Timer1.running());
}

TEST_F(Paste, AClickOnTheSecondTickResetsTheCountAndExtendsTheFlash) {
  TForm1& f = rig.form1();
  clickLog(MouseButton::Left);
  rig.backend.advance(kFlashTickMs);
  clickLog(MouseButton::Left);
  rig.backend.advance(kFlashTickMs);
  EXPECT_EQ(f.Panel1.color(), clYellow);
  rig.backend.advance(kFlashTickMs);
  EXPECT_EQ(f.Panel1.color(), clBtnFace);
}

// The shortcut as the settings file names it: what parses, and what the user is told instead.
TEST(Shortcut, ParsesModifiersAndOneKeyAndSaysWhatIsWrong) {
  const struct {
    const char* text;
    const char* parsed;  // nullptr: refused with this problem
    const char* problem;
  } cases[] = {
      {"Ctrl+Alt+D", "Ctrl+Alt+D", ""},
      {" alt + ctrl + d ", "Ctrl+Alt+D", ""},
      {"Win+Shift+F12", "Shift+Win+F12", ""},
      {"Ctrl+pageup", "Ctrl+PageUp", ""},
      {"Ctrl+7", "Ctrl+7", ""},
      {"Ctrl+Alt+Q+", nullptr, "キーがありません"},
      {"Ctrl+Alt+Ｄ", nullptr, "「Ｄ」というキーはありません"},
      {"Ctrl+F25", nullptr, "「F25」というキーはありません"},
      {"Ctrl+Ctrl+D", nullptr, "「Ctrl」というキーはここに使えません"},
      {"Hyper+D", nullptr, "「Hyper」というキーはここに使えません"},
      {"Shift+D", nullptr, "Ctrl・Alt・Win のどれかと組み合わせてください"},
      {"", nullptr, "キーがありません"},
  };
  for (const auto& c : cases) {
    std::string problem;
    const auto shortcut = parseShortcut(c.text, problem);
    if (c.parsed) {
      ASSERT_TRUE(shortcut) << c.text << ": " << problem;
      EXPECT_EQ(shortcut->text(), c.parsed);
    } else {
      EXPECT_FALSE(shortcut) << c.text;
      EXPECT_EQ(problem, c.problem) << c.text;
    }
  }
}

// Pressed anywhere, the shortcut pastes the title's date into the window that has the focus,
// once the user's modifiers are up; into one of the program's own windows it only copies.
TEST(Shortcut, PastesTheDateIntoTheFocusedWindowOrSaysWhyItCannot) {
  Rig rig;
  rig.files.files["/opt/kelvado/kelvado.ini"] = "[hotkey]\npaste=Ctrl+Alt+D\n";
  rig.start();
  ASSERT_TRUE(rig.platform.shortcutPressed);
  rig.platform.foreground = kEditor;
  rig.platform.log.clear();
  rig.platform.shortcutPressed();
  EXPECT_EQ(rig.platform.log, (Log{"clipboard 2003年04月07日(月)", "foreground", "modifiers up", "ctrl+v"}));
  EXPECT_EQ(rig.form1().Panel1.color(), colors::clYellow);
  rig.platform.foreground = rig.state.Form1Handle;
  rig.platform.log.clear();
  rig.platform.shortcutPressed();
  EXPECT_EQ(rig.platform.log, (Log{"clipboard 2003年04月07日(月)", "foreground"}));
  EXPECT_TRUE(rig.backend.messageBoxes.empty());

  const struct {
    const char* line;
    Platform::ShortcutStatus status;
    const char* told;
    const char* missingRoute = "";
  } refusals[] = {
      {"paste=Ctrl+Alt+Q+", Platform::ShortcutStatus::Registered,
       "/opt/kelvado/kelvado.ini の [hotkey] paste=Ctrl+Alt+Q+ は使えません（キーがありません）。"
       "ショートカットなしで動きます。"},
      {"paste=Ctrl+Alt+D", Platform::ShortcutStatus::Taken,
       "ショートカット Ctrl+Alt+D はほかのプログラムが使っています。ショートカットなしで動きます。"},
      {"paste=Ctrl+Alt+D", Platform::ShortcutStatus::Unsupported,
       "このデスクトップではショートカットを使えません。ショートカットなしで動きます。"},
      // Told with the remedy, and not again after the first click.
      {"paste=Ctrl+Alt+D", Platform::ShortcutStatus::Unsupported,
       "拡張機能を有効にしてください。今はショートカットなしで動きます。", "拡張機能を有効にしてください。"},
      {"", Platform::ShortcutStatus::Registered, nullptr},
  };
  for (const auto& r : refusals) {
    Rig refused;
    refused.files.files["/opt/kelvado/kelvado.ini"] = std::string("[hotkey]\n") + r.line + "\n";
    refused.platform.shortcutStatus = r.status;
    refused.platform.missingRoute = r.missingRoute;
    refused.start();
    refused.leftClick(refused.form1().Panel1);
    EXPECT_FALSE(refused.platform.shortcutPressed) << r.line;
    if (r.told) {
      ASSERT_EQ(refused.backend.messageBoxes.size(), 1u) << r.line;
      EXPECT_EQ(refused.backend.messageBoxes[0].text, r.told);
    } else {
      EXPECT_TRUE(refused.backend.messageBoxes.empty()) << "no shortcut set, nothing to say";
    }
  }
}

}  // namespace
}  // namespace kelvado::testing
