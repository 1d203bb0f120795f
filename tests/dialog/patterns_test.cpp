#include <gtest/gtest.h>

#include "dialog_helpers.h"

namespace kelvado::testing {
namespace {

using Texts = std::vector<std::string>;

class Patterns : public ::testing::Test {
 protected:
  // Puts a code into slot 1, as a hand-edited settings file could, and presses its button.
  void recall(const std::string& code) {
    rig.state.pmoj[0] = code;
    rig.leftClick(dialog.bt1);
  }

  // The one error box the last action showed.
  std::string errorText() {
    EXPECT_EQ(rig.backend.messageBoxes.size(), 1u);
    if (rig.backend.messageBoxes.empty()) return {};
    const fake::MessageBoxRecord& box = rig.backend.messageBoxes.back();
    EXPECT_EQ(box.kind, MessageKind::Error);
    EXPECT_EQ(box.caption, rig.backend.applicationTitle);  // the date text
    return box.text;
  }

  RigWithDialogOpen rig;
  TForm3& dialog = rig.form3();
  TForm1& main = rig.form1();
};

TEST_F(Patterns, StoringTheDefaultsIntoSlot2) {
  rig.rightClick(dialog.bt2);
  EXPECT_EQ(rig.state.pmoj[1], "211011");
  ASSERT_EQ(rig.backend.messageBoxes.size(), 1u);
  EXPECT_EQ(rig.backend.messageBoxes[0].text, "パターン2にこのパターンを記憶しました");
  EXPECT_EQ(rig.state.notation, kDefaultNotation);
}

TEST_F(Patterns, StoreThenRecallRestoresEveryNotationOfSingleDigits) {
  for (const NotationSettings& n :
       {NotationSettings{1, 4, 1, 3, 1, 0}, NotationSettings{0, 0, 0, 0, 0, 0}, NotationSettings{3, 1, 0, 0, 0, 1},
        NotationSettings{4, 4, 0, 3, 0, 0}, NotationSettings{9, 8, 7, 6, 5, 4}}) {
    rig.state.notation = n;
    rig.rightClick(dialog.bt5);
    rig.leftClick(dialog.bt4);  // move away first
    rig.leftClick(dialog.bt5);
    EXPECT_EQ(rig.state.notation, n);
  }
  EXPECT_EQ(rig.state.pmoj[4], "987654");
  EXPECT_EQ(rig.backend.messageBoxes.size(), 5u);  // the confirmations, no errors
}

TEST_F(Patterns, RecallingTheDefaultThirdPatternWritesMonthSlashDay) {
  rig.leftClick(dialog.bt3);
  EXPECT_EQ(rig.state.notation, (NotationSettings{0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(main.caption(), "4/7(月)");
  EXPECT_EQ(rig.backend.applicationTitle, "4/7(月)");
  main.lblYoubi.userClick();  // weekday off
  EXPECT_EQ(main.caption(), "4/7");
}

TEST_F(Patterns, ADigitBeyondItsChoicesIsTakenAsItIs) {
  recall("911011");
  EXPECT_EQ(rig.state.notation, (NotationSettings{9, 1, 1, 0, 1, 1}));
  EXPECT_EQ(main.Edit1.text(), "年04月07日");
  EXPECT_EQ(dialog.ComboBox1.itemIndex(), -1);
  EXPECT_EQ(dialog.lab1.text(), "2003");  // the preview from before
  EXPECT_TRUE(rig.backend.messageBoxes.empty());
}

TEST_F(Patterns, AShortCodeFailsAtTheMissingCharacterAndRefreshesNothing) {
  rig.leftClick(dialog.bt3);  // 4/7 on screen, unlike what the short code would give
  recall("21101");
  EXPECT_EQ(errorText(), "'' は整数ではありません.");
  EXPECT_EQ(rig.state.notation, (NotationSettings{2, 1, 1, 0, 1, 0}));
  EXPECT_EQ(listTexts(dialog), (Texts{"なし", "なし", "1桁", "/", "1桁", "なし"}));
  EXPECT_EQ(previewTexts(dialog), (Texts{"", "", "4", "/", "7", ""}));
  EXPECT_EQ(main.Edit1.text(), "4/7");
  EXPECT_EQ(main.caption(), "4/7(月)");
  EXPECT_EQ(rig.backend.messageBoxes.back().caption, "4/7(月)");

  // The dialog runs on: the next pick refreshes with everything assigned so far.
  EXPECT_TRUE(dialog.visible());
  dialog.ComboBox6.userPickItem(1);
  EXPECT_EQ(main.Edit1.text(), "2003年04月07日");
}

TEST_F(Patterns, AFailureKeepsTheFieldsAssignedBeforeIt) {
  rig.leftClick(dialog.bt4);  // 0, 0, 0, 0, 0, 1
  recall("2a1011");
  EXPECT_EQ(errorText(), "'a' は整数ではありません.");
  EXPECT_EQ(rig.state.notation, (NotationSettings{2, 0, 0, 0, 0, 1}));
  EXPECT_EQ(main.Edit1.text(), "4月7日");
}

TEST_F(Patterns, AnEmptySlotFailsAtTheFirstPositionAndChangesNothing) {
  recall("");
  EXPECT_EQ(errorText(), "'' は整数ではありません.");
  EXPECT_EQ(rig.state.notation, kDefaultNotation);
}

TEST_F(Patterns, ANonAsciiCharacterIsNamedWholeInTheMessage) {
  recall("2２1011");
  EXPECT_EQ(errorText(), "'２' は整数ではありません.");
  EXPECT_EQ(rig.state.notation.hyoki1, 2);
}

TEST_F(Patterns, CharactersAfterTheSixthAreIgnored) {
  rig.leftClick(dialog.bt3);
  recall("2110119");
  EXPECT_EQ(rig.state.notation, kDefaultNotation);
  EXPECT_EQ(main.caption(), "2003年04月07日(月)");
  EXPECT_TRUE(rig.backend.messageBoxes.empty());
}

TEST_F(Patterns, FieldsOfTwoCharactersShiftOnRecall) {
  rig.state.notation = {12, 1, 1, 0, 1, 1};
  rig.rightClick(dialog.bt2);
  EXPECT_EQ(rig.state.pmoj[1], "1211011");
  rig.leftClick(dialog.bt2);
  EXPECT_EQ(rig.state.notation, (NotationSettings{1, 2, 1, 1, 0, 1}));
}

TEST_F(Patterns, ANegativeFieldIsStoredWithItsSignAndFailsOnRecall) {
  rig.state.notation.hyoki1 = -1;
  rig.rightClick(dialog.bt1);
  EXPECT_EQ(rig.state.pmoj[0], "-111011");
  dialog.ComboBox1.userPickItem(2);
  rig.backend.messageBoxes.clear();
  rig.leftClick(dialog.bt1);
  EXPECT_EQ(errorText(), "'-' は整数ではありません.");
  EXPECT_EQ(rig.state.notation, kDefaultNotation);
}

}  // namespace
}  // namespace kelvado::testing
