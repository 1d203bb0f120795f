// What only the Qt backend has: its mapping of the program's colours, Qt's own timers, date
// sections and XPM loading, and a modal box that really waits. Everything every backend
// promises is in the backends' contract (tests/backend), which qt_driver.cpp runs here.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QTest>
#include <QTimer>
#include <memory>

#include "forms/pictures.h"
#include "framework/qt/qt_backend.h"
#include "framework/qt/qt_controls.h"
#include "qt_helpers.h"

namespace kelvado::testing {
namespace {

using namespace colors;

constexpr ControlDef kControls[] = {
    {.kind = ControlKind::DatePicker, .name = "Picker", .width = 121, .height = 20, .color = clWindow},
};

constexpr TimerDef kTimers[] = {{.name = "Tock"}};

constexpr FormDef kForm{.name = "QtForm",
                        .caption = "試験",
                        .clientWidth = 130,
                        .clientHeight = 30,
                        .border = BorderStyle::Single,
                        .scaled = false,
                        .controls = kControls,
                        .timers = kTimers};

class QtControls : public ::testing::Test {
 protected:
  void SetUp() override {
    form.create();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(windowOf(form)));
  }

  qt::QtBackend backend;
  Application app{backend};
  Form form{app, kForm};
};

TEST(QtColors, ProgramColoursMapToQtColours) {
  EXPECT_EQ(qt::toQColor(0x0000FF), QColor(255, 0, 0));  // $00BBGGRR
  EXPECT_EQ(qt::toQColor(clYellow), QColor(255, 255, 0));
  EXPECT_EQ(qt::toQColor(clGray), QColor(128, 128, 128));
  EXPECT_EQ(qt::toQColor(clBtnFace), QApplication::palette().color(QPalette::Button));
  EXPECT_EQ(qt::toQColor(clWindow), QApplication::palette().color(QPalette::Base));
  EXPECT_EQ(qt::toQColor(clWindowText, QPalette::Inactive),
            QApplication::palette().color(QPalette::Inactive, QPalette::WindowText));
}

TEST(QtPictures, TheXpmPicturesLoadInQt) {
  EXPECT_EQ(QPixmap(kApplicationIcon).size(), QSize(32, 32));
  EXPECT_EQ(QPixmap(kVersionButtonPicture).size(), QSize(32, 16));
  EXPECT_EQ(QPixmap(kVersionButtonPicture).toImage().pixelColor(0, 15), QColor(0x80, 0x80, 0x00));
}

TEST_F(QtControls, DatePickerShowsNoTimeSections) {
  auto* picker = widgetOf<QDateEdit>(form, "Picker");
  ASSERT_NE(picker, nullptr);
  EXPECT_FALSE(picker->displayedSections() & QDateTimeEdit::TimeSections_Mask);
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

TEST_F(QtControls, AModalBoxWaitsForItsAnswer) {
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

}  // namespace
}  // namespace kelvado::testing
