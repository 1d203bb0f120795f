#include <gtest/gtest.h>

#include "dialog_helpers.h"

namespace kelvado::testing {
namespace {

using Texts = std::vector<std::string>;

class NotationDialog : public ::testing::Test {
 protected:
  RigWithDialogOpen rig;
  TForm3& f = rig.form3();
};

TEST_F(NotationDialog, FirstShowWithTheDefaultsFillsListsAndPreviews) {
  EXPECT_TRUE(f.visible());
  EXPECT_EQ(listTexts(f), (Texts{"4桁", "年", "2桁", "月", "2桁", "日"}));
  EXPECT_EQ(previewTexts(f), (Texts{"2003", "年", "04", "月", "07", "日"}));
  EXPECT_EQ(rig.form1().caption(), "2003年04月07日(月)");
  EXPECT_TRUE(rig.backend.messageBoxes.empty());
}

TEST(HandEditedNotation, AFieldOutsideItsListShowsNoSelectionAndKeepsItsPreview) {
  Rig rig;
  rig.start();
  // As a hand-edited settings file would leave them.
  rig.state.notation.hyoki1 = 5;
  rig.state.notation.hyoki4 = -1;
  openDialog(rig);
  TForm3& f = rig.form3();
  EXPECT_EQ(listTexts(f), (Texts{kNoSelection, "年", "2桁", kNoSelection, "2桁", "日"}));
  EXPECT_EQ(previewTexts(f), (Texts{"lab1", "年", "04", "lab4", "07", "日"}));
  EXPECT_EQ(rig.form1().caption(), "年0407日(月)");

  // A pick elsewhere leaves the odd field as it is.
  f.ComboBox2.userPickItem(2);
  EXPECT_EQ(rig.state.notation.hyoki1, 5);
  EXPECT_EQ(rig.state.notation.hyoki4, -1);
  EXPECT_EQ(f.lab1.text(), "lab1");
  EXPECT_EQ(rig.form1().caption(), "/0407日(月)");

  // Only a pick in its own list mends it.
  f.ComboBox1.userPickItem(1);
  EXPECT_EQ(rig.state.notation.hyoki1, 1);
  EXPECT_EQ(f.lab1.text(), "03");

  // Later on, an odd value keeps whatever preview the list showed last.
  f.close();
  rig.state.notation.hyoki3 = 7;
  openDialog(rig);
  EXPECT_EQ(f.ComboBox3.itemIndex(), -1);
  EXPECT_EQ(f.lab3.text(), "04");
}

TEST_F(NotationDialog, PickingNashiInTheFirstListDropsTheYearEverywhereAtOnce) {
  const auto slots = rig.state.pmoj;
  f.ComboBox1.userPickItem(0);
  EXPECT_EQ(f.lab1.text(), "");
  EXPECT_EQ(rig.state.notation, (NotationSettings{0, 1, 1, 0, 1, 1}));
  EXPECT_EQ(rig.form1().Edit1.text(), "年04月07日");
  EXPECT_EQ(rig.form1().caption(), "年04月07日(月)");
  EXPECT_EQ(rig.backend.applicationTitle, "年04月07日(月)");
  EXPECT_EQ(rig.state.pmoj, slots);
}

// The previews show the pieces of the same date the main window renders, so after any pick
// the six previews read exactly as the main window's date text.
TEST_F(NotationDialog, PreviewsSpellTheMainWindowsDateForEveryChoice) {
  for (form3::ControlId id : form3::kLists) {
    Control& list = f.control(id);
    for (int i = 0; i < static_cast<int>(list.def().items.size()); ++i) {
      list.userPickItem(i);
      std::string joined;
      for (const std::string& piece : previewTexts(f)) joined += piece;
      EXPECT_EQ(joined, rig.form1().Edit1.text()) << list.def().name << " item " << i;
    }
  }
}

TEST_F(NotationDialog, LeftPressOnButton4RecallsTheDefaultFourthPattern) {
  rig.leftClick(f.bt4);
  EXPECT_EQ(rig.state.notation, (NotationSettings{0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(listTexts(f), (Texts{"なし", "なし", "1桁", "月", "1桁", "日"}));
  EXPECT_EQ(previewTexts(f), (Texts{"", "", "4", "月", "7", "日"}));
  EXPECT_EQ(rig.form1().Edit1.text(), "4月7日");
  EXPECT_EQ(rig.form1().caption(), "4月7日(月)");
  EXPECT_TRUE(rig.backend.messageBoxes.empty());
}

TEST_F(NotationDialog, RightPressOnButton3StoresWithoutChangingTheDisplay) {
  rig.rightClick(f.bt3);
  EXPECT_EQ(rig.state.pmoj, (std::array<std::string, 5>{"141310", "231210", "211011", "000001", "240300"}));
  ASSERT_EQ(rig.backend.messageBoxes.size(), 1u);
  const fake::MessageBoxRecord& box = rig.backend.messageBoxes[0];
  EXPECT_EQ(box.kind, MessageKind::Information);
  EXPECT_EQ(box.caption, "情報");
  EXPECT_EQ(box.text, "パターン3にこのパターンを記憶しました");
  EXPECT_EQ(listTexts(f), (Texts{"4桁", "年", "2桁", "月", "2桁", "日"}));
  EXPECT_EQ(rig.form1().caption(), "2003年04月07日(月)");
}

TEST_F(NotationDialog, MiddlePressesAndKeyboardClicksOnPatternButtonsDoNothing) {
  rig.leftClick(f.bt2);  // something other than the defaults, so a stray recall would show
  const NotationSettings before = rig.state.notation;
  const auto slots = rig.state.pmoj;
  const std::string caption = rig.form1().caption();
  for (Control* button : {&f.bt1, &f.bt2, &f.bt3, &f.bt4, &f.bt5}) {
    button->userMouseDown(MouseButton::Middle, {}, 5, 5);
    button->userClick();  // what Space on a focused button amounts to
  }
  EXPECT_EQ(rig.state.notation, before);
  EXPECT_EQ(rig.state.pmoj, slots);
  EXPECT_EQ(rig.form1().caption(), caption);
  EXPECT_TRUE(rig.backend.messageBoxes.empty());
}

TEST_F(NotationDialog, ShowingItAgainWhileOpenOnlyBringsItToTheFront) {
  const WindowId handle = rig.state.Form3Handle;
  const int fronts = rig.backend.peer(f).broughtToFront;
  rig.state.notation.hyoki1 = 0;  // behind the dialog's back, so a refresh would show
  openDialog(rig);
  EXPECT_EQ(rig.backend.peer(f).broughtToFront, fronts + 1);
  EXPECT_EQ(f.ComboBox1.itemIndex(), 2);
  EXPECT_EQ(f.lab1.text(), "2003");
  EXPECT_EQ(rig.state.Form3Handle, handle);

  // Hidden and shown again, it catches up.
  f.close();
  EXPECT_FALSE(f.visible());
  openDialog(rig);
  EXPECT_EQ(f.ComboBox1.itemIndex(), 0);
  EXPECT_EQ(f.lab1.text(), "");
}

TEST_F(NotationDialog, HelpButtonOpensOneHelpWindowAndTheDialogStaysOpen) {
  f.Button1.userClick();
  EXPECT_TRUE(rig.form2().visible());
  EXPECT_TRUE(f.visible());
  const int fronts = rig.backend.peer(rig.form2()).broughtToFront;
  rig.form1().BitBtn1.userClick();
  EXPECT_TRUE(rig.form2().visible());
  EXPECT_EQ(rig.backend.peer(rig.form2()).broughtToFront, fronts + 1);
  EXPECT_TRUE(rig.backend.messageBoxes.empty());
}

TEST(WindowHandles, RecordedOnFirstShowAndKeptAcrossCloseAndReopen) {
  Rig rig;
  rig.start();
  EXPECT_EQ(rig.state.Form2Handle, 0u);
  EXPECT_EQ(rig.state.Form3Handle, 0u);
  openDialog(rig);
  rig.form3().Button1.userClick();
  const WindowId dialog = rig.state.Form3Handle;
  const WindowId help = rig.state.Form2Handle;
  EXPECT_EQ(dialog, rig.form3().handle());
  EXPECT_EQ(help, rig.form2().handle());
  EXPECT_NE(dialog, 0u);
  EXPECT_NE(help, 0u);
  EXPECT_NE(dialog, help);
  EXPECT_NE(dialog, rig.state.Form1Handle);
  EXPECT_NE(help, rig.state.Form1Handle);

  rig.form2().close();
  rig.form3().close();
  EXPECT_FALSE(rig.form2().visible());
  EXPECT_FALSE(rig.form3().visible());
  EXPECT_TRUE(rig.backend.loopRunning);  // closing either never ends the program

  openDialog(rig);
  rig.form1().BitBtn1.userClick();
  EXPECT_EQ(rig.state.Form3Handle, dialog);
  EXPECT_EQ(rig.state.Form2Handle, help);
}

TEST(WindowHandles, TargetTrackingSkipsTheDialogAndTheHelpWindow) {
  Rig rig;
  rig.start();
  openDialog(rig);
  rig.form3().Button1.userClick();
  constexpr WindowId editor = 0x7001;
  rig.platform.foreground = editor;
  rig.backend.advance(500);
  ASSERT_EQ(rig.state.TargetWindow, editor);

  for (WindowId own : {rig.state.Form3Handle, rig.state.Form2Handle}) {
    rig.platform.foreground = own;
    rig.backend.advance(500);
    EXPECT_EQ(rig.state.TargetWindow, editor);
  }

  rig.platform.foreground = 0x7002;
  rig.backend.advance(500);
  EXPECT_EQ(rig.state.TargetWindow, 0x7002u);
}

}  // namespace
}  // namespace kelvado::testing
