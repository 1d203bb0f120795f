// Each control kind on real Qt widgets: what the program sets stays silent, what the user does
// reaches the handlers once, and the widgets show what the definition asks for.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <memory>

#include "forms/pictures.h"
#include "framework/qt/qt_backend.h"
#include "framework/qt/qt_controls.h"
#include "qt_helpers.h"

namespace kelvado::testing {
namespace {

using namespace colors;

enum Id : int { Box, Caption, List, Tick, Picker, Press, Book, Note, Hidden };

constexpr const char* kItems[] = {"なし", "年", "/"};

// Laid out like the windows' definitions.
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

// Laid out like the windows' definitions.
// clang-format off
constexpr FormDef kForm{.name = "TestForm", .caption = "試験", .clientWidth = 240, .clientHeight = 150,
                        .border = BorderStyle::Single, .maximizeBox = false, .scaled = false,
                        .controls = kControls, .timers = kTimers};
// clang-format on

class QtControls : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.setModalHook([this](QMessageBox& box) { boxes.push_back(describe(box)); });
    form.create();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(windowOf(form)));
  }
  Control& control(Id id) { return form.control(id); }
  template <class W = QWidget>
  W& widget(Id id) {
    W* w = widgetOf<W>(form, kControls[id].name);
    EXPECT_NE(w, nullptr) << kControls[id].name;
    return *w;
  }

  qt::QtBackend backend;
  Application app{backend};
  Form form{app, kForm};
  std::vector<ShownBox> boxes;
};

TEST_F(QtControls, ProgramChangesRunNoChangeHandlers) {
  int changes = 0, clicks = 0;
  control(List).onChange = [&] { ++changes; };
  control(Picker).onChange = [&] { ++changes; };
  control(Tick).onClick = [&] { ++clicks; };

  control(List).setItemIndex(2);
  control(Picker).setDate({2003, 4, 7, 10, 0, 0});
  control(Tick).setChecked(true);  // a program-set state change counts as one click, not two

  EXPECT_EQ(widget<QComboBox>(List).currentIndex(), 2);
  EXPECT_EQ(widget<QDateEdit>(Picker).date(), QDate(2003, 4, 7));
  EXPECT_TRUE(widget<QCheckBox>(Tick).isChecked());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(clicks, 1);

  control(List).setItemIndex(7);  // outside the list: no selection
  EXPECT_EQ(widget<QComboBox>(List).currentIndex(), -1);
  EXPECT_EQ(changes, 0);
}

TEST_F(QtControls, UserInputReachesTheHandlersOnce) {
  int listChanges = 0, dateChanges = 0, clicks = 0;
  control(List).onChange = [&] { ++listChanges; };
  control(Picker).onChange = [&] { ++dateChanges; };
  control(Tick).onClick = [&] { ++clicks; };
  control(List).setItemIndex(0);
  control(Picker).setDate({2003, 4, 7, 23, 59, 58});

  QTest::keyClick(&widget<QComboBox>(List), Qt::Key_Down);
  EXPECT_EQ(listChanges, 1);
  EXPECT_EQ(control(List).itemIndex(), 1);

  QCheckBox& tick = widget<QCheckBox>(Tick);
  QTest::mouseClick(&tick, Qt::LeftButton, {}, tick.rect().center());
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(control(Tick).checked());

  QTest::keyClick(&widget<QDateEdit>(Picker), Qt::Key_Up);
  EXPECT_EQ(dateChanges, 1);
  const LocalDateTime d = control(Picker).date();
  EXPECT_NE(QDate(d.year, d.month, d.day), QDate(2003, 4, 7));
  EXPECT_EQ(QDate(d.year, d.month, d.day), widget<QDateEdit>(Picker).date());
  EXPECT_EQ(d.hour * 3600 + d.minute * 60 + d.second, 23 * 3600 + 59 * 60 + 58) << "time of day kept";
}

TEST_F(QtControls, MousePressesCarryTheirButtonAndActOnThePress) {
  std::vector<std::tuple<MouseButton, int, int>> presses;
  control(Box).onMouseDown = [&](MouseButton b, ShiftState, int x, int y) { presses.emplace_back(b, x, y); };
  QWidget& box = widget(Box);
  QTest::mousePress(&box, Qt::LeftButton, {}, {10, 11});
  QTest::mousePress(&box, Qt::RightButton, {}, {12, 13});
  QTest::mousePress(&box, Qt::MiddleButton, {}, {14, 15});
  ASSERT_EQ(presses.size(), 3u);
  EXPECT_EQ(presses[0], std::make_tuple(MouseButton::Left, 10, 11));
  EXPECT_EQ(presses[1], std::make_tuple(MouseButton::Right, 12, 13));
  EXPECT_EQ(presses[2], std::make_tuple(MouseButton::Middle, 14, 15));

  // A button that acts on the press: the press reaches it, the keyboard's click does nothing.
  int pressDowns = 0;
  control(Press).onMouseDown = [&](MouseButton, ShiftState, int, int) { ++pressDowns; };
  QPushButton& press = widget<QPushButton>(Press);
  QTest::mousePress(&press, Qt::RightButton, {}, press.rect().center());
  EXPECT_EQ(pressDowns, 1);
  press.setFocus();
  QTest::keyClick(&press, Qt::Key_Space);
  EXPECT_EQ(pressDowns, 1);
}

TEST_F(QtControls, LabelClicksOncePerClickAndDoubleClick) {
  int clicks = 0;
  control(Caption).onClick = [&] { ++clicks; };
  QWidget& label = widget(Caption);
  QTest::mouseClick(&label, Qt::LeftButton, {}, {2, 2});
  EXPECT_EQ(clicks, 1);
  // Qt reports a double click as press, release, press, double click, release.
  QTest::mousePress(&label, Qt::LeftButton, {}, {2, 2});
  QTest::mouseRelease(&label, Qt::LeftButton, {}, {2, 2});
  QTest::mousePress(&label, Qt::LeftButton, {}, {2, 2});
  QTest::mouseDClick(&label, Qt::LeftButton, {}, {2, 2});
  QTest::mouseRelease(&label, Qt::LeftButton, {}, {2, 2});
  EXPECT_EQ(clicks, 2);
  QTest::mouseClick(&label, Qt::RightButton, {}, {2, 2});
  EXPECT_EQ(clicks, 2);
}

TEST_F(QtControls, WidgetsShowWhatTheDefinitionAsks) {
  EXPECT_EQ(widget(Box).accessibleName(), "箱");
  EXPECT_EQ(widget<QLabel>(Caption).text(), "lab1");
  control(Caption).setText("2003");  // a label sized to its text follows it
  EXPECT_EQ(widget(Caption).width(), widget(Caption).fontMetrics().horizontalAdvance("2003"));
  EXPECT_EQ(widget(Caption).height(), 12);

  QComboBox& list = widget<QComboBox>(List);
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.itemText(1), "年");
  EXPECT_FALSE(list.isEditable());
  EXPECT_EQ(list.itemDelegate()->sizeHint({}, list.model()->index(0, 0)).height(), 12);

  auto& note = widget<QTextEdit>(Note);
  EXPECT_EQ(note.toPlainText(), "一行目\n二行目");
  EXPECT_TRUE(note.isReadOnly());
  EXPECT_FALSE(note.isEnabled());
  EXPECT_EQ(note.lineWrapMode(), QTextEdit::WidgetWidth);
  EXPECT_EQ(note.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(note.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  // A hidden edit only holds text: no widget, and setting its text still works.
  EXPECT_EQ(widgetOf(form, kControls[Hidden].name), nullptr);
  control(Hidden).setText("2003年04月07日");
}

TEST_F(QtControls, PanelTakesItsFlashColourAndBack) {
  QWidget& box = widget(Box);
  const QColor face = box.palette().color(QPalette::Window);
  control(Box).setColor(clYellow);
  EXPECT_EQ(box.palette().color(QPalette::Window), QColor(255, 255, 0));
  control(Box).setColor(clBtnFace);
  EXPECT_EQ(box.palette().color(QPalette::Window), face);
}

TEST_F(QtControls, DatePickerHoldsTheWholeRangeDateOnlyAndFitsItsField) {
  auto& picker = widget<QDateEdit>(Picker);
  EXPECT_TRUE(picker.calendarPopup());
  EXPECT_EQ(picker.minimumDate(), QDate(1601, 1, 1));
  EXPECT_EQ(picker.maximumDate(), QDate(9999, 12, 31));
  EXPECT_FALSE(picker.displayedSections() & QDateTimeEdit::TimeSections_Mask);
  EXPECT_EQ(picker.size(), QSize(121, 20));
  control(Picker).setDate({2000, 9, 28, 0, 0, 0});
  const QLineEdit* field = picker.findChild<QLineEdit*>();
  ASSERT_NE(field, nullptr);
  EXPECT_LE(picker.fontMetrics().horizontalAdvance(field->text()), field->width()) << field->text().toStdString();
}

TEST_F(QtControls, PictureButtonShowsItsLeftHalfAndGreysWithItsRightHalf) {
  const QIcon icon = widget<QPushButton>(Book).icon();
  const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
  const QImage greyed = icon.pixmap(16, 16, QIcon::Disabled).toImage();
  ASSERT_EQ(normal.size(), QSize(16, 16));
  EXPECT_NE(normal, greyed);
  EXPECT_EQ(normal.pixelColor(0, 15).alpha(), 0) << "the olive corner is transparent";
  EXPECT_EQ(normal.pixelColor(7, 7).alpha(), 255);

  const QPixmap application(kApplicationIcon);
  EXPECT_EQ(application.size(), QSize(32, 32));
  EXPECT_EQ(QPixmap(kVersionButtonPicture).size(), QSize(32, 16));
  EXPECT_EQ(QPixmap(kVersionButtonPicture).toImage().pixelColor(0, 15), QColor(0x80, 0x80, 0x00));
}

TEST_F(QtControls, HintsOnlyWhereDefinedWithTheirTiming) {
  for (const ControlDef& d : kControls) {
    const QWidget* w = widgetOf(form, d.name);
    ASSERT_EQ(w != nullptr, qt::needsWidget(d)) << d.name;
    if (!w) continue;
    EXPECT_EQ(w->toolTip(), d.hint ? QString::fromUtf8(d.hint) : QString()) << d.name;
    if (d.hint) {
      EXPECT_EQ(w->toolTipDuration(), 2500);
    }
  }
  EXPECT_EQ(windowOf(form)->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
}

TEST(QtColors, ProgramColoursMapToQtColours) {
  EXPECT_EQ(qt::toQColor(0x0000FF), QColor(255, 0, 0));  // $00BBGGRR
  EXPECT_EQ(qt::toQColor(clYellow), QColor(255, 255, 0));
  EXPECT_EQ(qt::toQColor(clGray), QColor(128, 128, 128));
  EXPECT_EQ(qt::toQColor(clBtnFace), QApplication::palette().color(QPalette::Button));
  EXPECT_EQ(qt::toQColor(clWindow), QApplication::palette().color(QPalette::Base));
  EXPECT_EQ(qt::toQColor(clWindowText, QPalette::Inactive),
            QApplication::palette().color(QPalette::Inactive, QPalette::WindowText));
}

TEST_F(QtControls, TimerFollowsTheCoreTimer) {
  Timer& timer = form.timer(0);
  int ticks = 0;
  timer.onTimer = [&] { ++ticks; };
  // The timer peer is not reachable from the form; drive a second one of our own.
  Timer own(app, kTimers[0]);
  auto peer = backend.createTimerPeer(own);
  own.attach(peer.get());
  const QTimer& q = static_cast<qt::QtTimerPeer&>(*peer).qtimer();
  EXPECT_TRUE(q.isActive());
  EXPECT_EQ(q.interval(), 1000);  // none defined: one second
  own.setInterval(0);
  EXPECT_FALSE(q.isActive());
  own.setInterval(20);
  EXPECT_TRUE(q.isActive());
  EXPECT_EQ(q.interval(), 20);
  int ownTicks = 0;
  own.onTimer = [&] { ++ownTicks; };
  EXPECT_TRUE(QTest::qWaitFor([&] { return ownTicks >= 2; }));
  own.setInterval(0);
  own.attach(nullptr);

  timer.setInterval(10);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }));
}

TEST_F(QtControls, ModalBoxesAreTheProgramsOwn) {
  app.setTitle("2003年04月07日(月)");
  app.showInformation("パターン3にこのパターンを記憶しました");
  app.showError("失敗");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(boxes[0].caption, "情報");
  EXPECT_EQ(boxes[0].text, "パターン3にこのパターンを記憶しました");
  EXPECT_EQ(boxes[0].buttons, QStringList{"OK"});
  EXPECT_TRUE(boxes[0].okIsDefaultAndEscape);
  EXPECT_EQ(boxes[1].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes[1].caption, "2003年04月07日(月)");
  EXPECT_EQ(boxes[1].text, "失敗.");
  EXPECT_EQ(boxes[1].buttons, QStringList{"OK"});
  EXPECT_TRUE(boxes[1].okIsDefaultAndEscape);
}

TEST_F(QtControls, AModalBoxWaitsForItsAnswer) {
  backend.setModalHook(nullptr);
  bool answered = false;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    answered = true;
    QTest::keyClick(box, Qt::Key_Escape);
  });
  app.showInformation("はい");
  EXPECT_TRUE(answered);
}

TEST_F(QtControls, AnErrorInAHandlerShowsOneBoxAndTheProgramRunsOn) {
  int presses = 0;
  control(Box).onMouseDown = [&](MouseButton, ShiftState, int, int) {
    if (++presses == 1) throw Error("パターンが壊れています");
  };
  QTest::mousePress(&widget(Box), Qt::LeftButton, {}, {5, 5});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes[0].text, "パターンが壊れています.");
  QTest::mousePress(&widget(Box), Qt::LeftButton, {}, {5, 5});
  EXPECT_EQ(presses, 2);
  EXPECT_EQ(boxes.size(), 1u);
}

}  // namespace
}  // namespace kelvado::testing
