// The two windows' definitions against the layout they were designed with.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "forms/form2.h"
#include "forms/form3.h"

namespace kelvado {
namespace {

std::string str(const char* text) { return text ? text : "(none)"; }

std::vector<std::string> lines(const char* text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

struct Placement {
  const char* name;
  ControlKind kind;
  const char* parent;  // nullptr: the window itself
  Rect bounds;
};

// The window-level properties both windows are checked on.
struct WindowLook {
  std::string caption;
  Rect designBounds;  // left, top, client width and height
  BorderStyle border;
  bool minimizeBox;
  bool maximizeBox;
  bool scaled;
  FormPosition position;
};

void expectWindow(const FormDef& d, const WindowLook& e) {
  EXPECT_EQ(std::string(d.caption), e.caption);
  EXPECT_EQ((Rect{d.left, d.top, d.clientWidth, d.clientHeight}), e.designBounds);
  EXPECT_EQ(d.border, e.border);
  EXPECT_EQ(d.minimizeBox, e.minimizeBox);
  EXPECT_EQ(d.maximizeBox, e.maximizeBox);
  EXPECT_EQ(d.scaled, e.scaled);
  EXPECT_EQ(d.position, e.position);
  EXPECT_FALSE(d.visible);
  EXPECT_EQ(d.color, colors::clBtnFace);
  EXPECT_EQ(std::string(d.font.name), "ＭＳ Ｐゴシック");
  EXPECT_EQ(d.font.pixelHeight, 12);
  EXPECT_TRUE(d.timers.empty());
}

TEST(DialogDefinition, WindowProperties) {
  // The fields in the order of the window's table.
  // clang-format off
  expectWindow(form3::kDefinition, {"ケルバド 表示形式の設定", {0, 0, 291, 142}, BorderStyle::Dialog, false, false,
                                    false, FormPosition::DesktopCenter});
  // clang-format on
}

TEST(DialogDefinition, ControlsArePlacedAsDesignedAndInsideTheirParents) {
  using enum ControlKind;
  // One control to a row, as the window's table lists them.
  // clang-format off
  const Placement expected[] = {
      {"Panel1", Panel, nullptr, {0, 0, 291, 81}},
      {"ComboBox1", ComboBox, "Panel1", {8, 56, 45, 20}},
      {"ComboBox2", ComboBox, "Panel1", {54, 56, 45, 20}},
      {"ComboBox3", ComboBox, "Panel1", {101, 56, 45, 20}},
      {"ComboBox4", ComboBox, "Panel1", {147, 56, 45, 20}},
      {"ComboBox5", ComboBox, "Panel1", {194, 56, 45, 20}},
      {"ComboBox6", ComboBox, "Panel1", {240, 56, 45, 20}},
      {"Label1", Label, "Panel1", {8, 24, 36, 12}},
      {"Label2", Label, "Panel1", {62, 24, 24, 12}},
      {"Label3", Label, "Panel1", {102, 24, 36, 12}},
      {"Label4", Label, "Panel1", {152, 24, 24, 12}},
      {"Label5", Label, "Panel1", {194, 24, 36, 12}},
      {"Label6", Label, "Panel1", {246, 24, 24, 12}},
      {"lab1", Label, "Panel1", {8, 40, 21, 12}},
      {"lab2", Label, "Panel1", {54, 40, 21, 12}},
      {"lab3", Label, "Panel1", {101, 40, 21, 12}},
      {"lab4", Label, "Panel1", {147, 40, 21, 12}},
      {"lab5", Label, "Panel1", {194, 40, 21, 12}},
      {"lab6", Label, "Panel1", {240, 40, 21, 12}},
      {"Label13", Label, "Panel1", {8, 8, 239, 12}},
      {"Button1", Button, nullptr, {176, 116, 113, 25}},
      {"Memo1", Memo, nullptr, {0, 80, 289, 33}},
      {"bt1", Button, nullptr, {52, 118, 21, 21}},
      {"bt2", Button, nullptr, {76, 118, 21, 21}},
      {"bt3", Button, nullptr, {100, 118, 21, 21}},
      {"bt4", Button, nullptr, {124, 118, 21, 21}},
      {"bt5", Button, nullptr, {148, 118, 21, 21}},
      {"Label7", Label, nullptr, {2, 122, 43, 12}},
  };
  // clang-format on
  const auto& controls = form3::kControls;
  ASSERT_EQ(std::size(controls), std::size(expected));
  for (std::size_t i = 0; i < std::size(controls); ++i) {
    const ControlDef& c = controls[i];
    const Placement& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(c.name, e.name);
    EXPECT_EQ(c.kind, e.kind);
    EXPECT_EQ(c.parent < 0 ? "(form)" : std::string(controls[c.parent].name), e.parent ? e.parent : "(form)");
    EXPECT_EQ((Rect{c.left, c.top, c.width, c.height}), e.bounds);
    const int parentWidth = c.parent < 0 ? form3::kDefinition.clientWidth : controls[c.parent].width;
    const int parentHeight = c.parent < 0 ? form3::kDefinition.clientHeight : controls[c.parent].height;
    EXPECT_LE(c.left + c.width, parentWidth);
    EXPECT_LE(c.top + c.height, parentHeight);
    EXPECT_EQ(c.autoSize, c.name.starts_with("lab") || c.name == "Label13");
    EXPECT_TRUE(c.visible);
  }
}

TEST(DialogDefinition, CaptionsAndHints) {
  const std::map<std::string_view, std::pair<std::string, std::string>> expected = {
      {"Panel1", {"", "(none)"}},
      {"Label13", {"2003年04月07日 を参考に表示設定してください", "(none)"}},
      {"Label1", {"年表記", "(none)"}},
      {"Label2", {"区切", "(none)"}},
      {"Label3", {"月表記", "(none)"}},
      {"Label4", {"区切", "(none)"}},
      {"Label5", {"日表記", "(none)"}},
      {"Label6", {"区切", "(none)"}},
      {"lab1", {"lab1", "(none)"}},
      {"lab2", {"lab2", "(none)"}},
      {"lab3", {"lab3", "(none)"}},
      {"lab4", {"lab4", "(none)"}},
      {"lab5", {"lab5", "(none)"}},
      {"lab6", {"lab6", "(none)"}},
      {"Memo1",
       {"注：月・日表記で1桁とは1～9は1桁で他は2桁表示、\n2桁とは1～9は01～09表示で他は2桁表示になります。", "(none)"}},
      {"Label7", {"パターン", "表記パターンを5種類ほど記憶できます"}},
      {"bt1", {"1", "パターン1呼出(右クリックで登録)"}},
      {"bt2", {"2", "パターン2呼出(右クリックで登録)"}},
      {"bt3", {"3", "パターン3呼出(右クリックで登録)"}},
      {"bt4", {"4", "パターン4呼出(右クリックで登録)"}},
      {"bt5", {"5", "パターン5呼出(右クリックで登録)"}},
      {"Button1", {"バージョン＆ヘルプ", "(none)"}},
  };
  for (const ControlDef& c : form3::kControls) {
    SCOPED_TRACE(std::string(c.name));
    if (c.kind == ControlKind::ComboBox) {
      EXPECT_EQ(std::string(c.text), "");
      EXPECT_EQ(c.hint, nullptr);
      continue;
    }
    const auto it = expected.find(c.name);
    ASSERT_NE(it, expected.end());
    EXPECT_EQ(std::string(c.text), it->second.first);
    EXPECT_EQ(str(c.hint), it->second.second);
  }
}

TEST(DialogDefinition, ListsOfferTheChoicesOfTheirFields) {
  // The six lists, three to a row.
  // clang-format off
  const std::vector<std::vector<std::string>> expected = {
      {"なし", "2桁", "4桁", "和暦", "略号"}, {"なし", "年", "/", "-", "."}, {"1桁", "2桁"},
      {"月", "/", "-", "."},   {"1桁", "2桁"},               {"なし", "日"},
  };
  // clang-format on
  for (std::size_t n = 0; n < std::size(form3::kLists); ++n) {
    const ControlDef& c = form3::kControls[form3::kLists[n]];
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(std::vector<std::string>(c.items.begin(), c.items.end()), expected[n]);
    EXPECT_EQ(c.itemHeight, 12);
  }
}

TEST(DialogDefinition, TabMovesAmongThePatternButtonsOnly) {
  std::vector<std::pair<int, std::string_view>> stops;
  for (const ControlDef& c : form3::kControls)
    if (c.tabStop) stops.emplace_back(c.tabOrder, c.name);
  std::ranges::sort(stops);
  EXPECT_EQ(stops, (std::vector<std::pair<int, std::string_view>>{
                       {0, "bt1"}, {1, "bt2"}, {2, "bt3"}, {3, "bt4"}, {4, "bt5"}}));

  // Tab orders stay unique among the siblings of one parent.
  std::map<std::pair<int, int>, std::string_view> seen;
  for (const ControlDef& c : form3::kControls) {
    if (c.kind == ControlKind::Label) continue;
    EXPECT_TRUE(seen.emplace(std::pair{c.parent, c.tabOrder}, c.name).second) << c.name;
  }

  const ControlDef& memo = form3::kControls[form3::Memo1];
  EXPECT_FALSE(memo.enabled);
  EXPECT_TRUE(memo.readOnly);
}

TEST(HelpWindowDefinition, WindowAndMemoProperties) {
  const FormDef& d = form2::kDefinition;
  // The fields in the order of the window's table.
  // clang-format off
  expectWindow(d, {"ケルバド バージョン＆ヘルプ", {469, 259, 466, 561}, BorderStyle::Sizeable, true, true, true,
                   FormPosition::Designed});
  // clang-format on

  ASSERT_EQ(d.controls.size(), 1u);
  const ControlDef& memo = d.controls[0];
  EXPECT_EQ(memo.kind, ControlKind::Memo);
  EXPECT_EQ((Rect{memo.left, memo.top, memo.width, memo.height}), (Rect{0, 0, 466, 561}));
  EXPECT_EQ(memo.align, Align::Client);
  EXPECT_TRUE(memo.readOnly);
  EXPECT_TRUE(memo.enabled);  // read-only, not disabled: the text can be selected and copied
  EXPECT_EQ(memo.scrollBars, ScrollBars::Both);
  EXPECT_TRUE(memo.wordWrap);
  EXPECT_FALSE(memo.tabStop);
  EXPECT_EQ(memo.tabOrder, 0);
  EXPECT_EQ(memo.color, colors::clWindow);
}

TEST(HelpWindowDefinition, TheHelpTextHasItsFortyTwoLines) {
  const std::vector<std::string> text = lines(form2::kControls[form2::Memo1].text);
  ASSERT_EQ(text.size(), 42u);
  const std::map<int, std::string> fixed = {
      {1, "ケルバド V3.1"},
      {7, "任意の年月日(曜日)を他の編集中のエディタ等へ貼り付ける"},
      {10, "[貼付け]ボタンをクリックするとタイトルに表示されてる日付けを"},
      {16, "切り替えに便利です。"},
      {21, "(曜日)表示部分のクリックで曜日表示のON/OFFができます。"},
      {27, "kelvado.exeのあるファルダにkelvado.iniとして記憶します。"},
      {29, "変更履歴"},
      {34, "2002/03/22 V1.2 月日(曜日)のみコピーできる機能追加。"},
      {37, "2003/06/01 V2.1 表示形式を選べるバリエーションを増やす。"},
      {41, "できるように仕様拡張変更。"},
      {42, "202/-8/24 V3.1 niフォームの位置をモニタ内に表示するようにした"},
  };
  for (const auto& [line, expected] : fixed) EXPECT_EQ(text[line - 1], expected) << "line " << line;
  for (int line : {2, 6, 9, 17, 20, 22, 25, 28}) EXPECT_EQ(text[line - 1], "") << "line " << line;
  for (int line : {3, 4, 5, 31, 32, 33, 35, 36}) EXPECT_NE(text[line - 1], "") << "line " << line;
  EXPECT_TRUE(text[29].starts_with("2002/02/10 "));
  EXPECT_TRUE(text[30].starts_with("2002/02/22 V1.1 "));
  EXPECT_TRUE(text[34].starts_with("2003/06/01 V2.0 "));
}

}  // namespace
}  // namespace kelvado
