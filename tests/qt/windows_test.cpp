// The program's three windows on the Qt backend: built from their definitions, and closed the
// way the program means.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "framework/qt/qt_backend.h"
#include "framework/qt/qt_controls.h"
#include "framework/qt/qt_form.h"
#include "kelvado_.h"
#include "platform/fake/fake_platform.h"
#include "program.h"
#include "qt_helpers.h"
#include "setei.h"
#include "vajhel.h"

namespace kelvado::testing {
namespace {

// The title each top-level window had when Qt was about to map it.
class TitlesWhenShown : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* w = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && w && w->isWindow()) titles[w->objectName()] << w->windowTitle();
    return false;
  }
  std::map<QString, QStringList> titles;
};

class QtProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    platform.exePath = (dir.path() + "/kelvado").toStdString();
    backend.setModalHook([this](QMessageBox& box) { boxes.push_back(describe(box)); });
    qApp->installEventFilter(&shown);
    program.start();
  }
  void TearDown() override { qApp->removeEventFilter(&shown); }
  std::filesystem::path settingsFile() const { return (dir.path() + "/kelvado.ini").toStdString(); }

  QTemporaryDir dir;
  qt::QtBackend backend;
  fake::FakePlatform platform;
  Program program{backend, platform};
  std::vector<QtShownBox> boxes;
  TitlesWhenShown shown;
};

// Every control sits where its definition puts it, shows or hides as defined and has a hint
// exactly when one is defined.
void expectBuiltFrom(const Form& form) {
  for (const ControlDef& d : form.def().controls) {
    SCOPED_TRACE(std::string(d.name));
    const QWidget* w = widgetOf(form, d.name);
    ASSERT_EQ(w != nullptr, needsNativeControl(d));
    if (!w) continue;
    const QRect expected(d.left, d.top, d.width, d.height);
    if (d.align == Align::Client)
      EXPECT_EQ(w->geometry(), w->parentWidget()->rect());
    else if (d.autoSize)
      EXPECT_EQ(w->pos(), expected.topLeft());
    else
      EXPECT_EQ(w->geometry(), expected);
    EXPECT_EQ(w->isVisibleTo(w->window()), d.visible);
    EXPECT_EQ(w->toolTip(), d.hint ? QString::fromUtf8(d.hint) : QString());
    EXPECT_EQ(w->isEnabled(), d.enabled);
  }
}

TEST_F(QtProgram, MainWindowIsBuiltFromItsDefinitionAndShowsTheDate) {
  TForm1& f = *program.Form1;
  QWidget* w = windowOf(f);
  ASSERT_NE(w, nullptr);
  expectBuiltFrom(f);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "2003年04月07日(月)");
  EXPECT_EQ(shown.titles["Form1"], QStringList{"2003年04月07日(月)"}) << "the title the window is first mapped with";
  EXPECT_EQ(backend.applicationTitle(), "2003年04月07日(月)");
  // Fixed size, minimise but no maximise, on top from the first show (no settings file yet).
  EXPECT_EQ(w->size(), QSize(250, 23));
  EXPECT_EQ(w->minimumSize(), w->maximumSize());
  EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(w->font().pixelSize(), 12);

  EXPECT_EQ(widgetOf<QLabel>(f, "lblYoubi")->text(), "(月)");
  EXPECT_EQ(widgetOf(f, "Panel1")->accessibleName(), "コピー");
  EXPECT_TRUE(widgetOf<QCheckBox>(f, "CheckBox2")->isChecked());
  EXPECT_EQ(widgetOf<QDateEdit>(f, "DateTimePicker1")->date(), QDate(2003, 4, 7));
  EXPECT_EQ(program.state.Form1Handle, static_cast<WindowId>(w->winId()));
}

TEST_F(QtProgram, WeekdayLabelClickTurnsTheSuffixOffInTheCaption) {
  TForm1& f = *program.Form1;
  QWidget* label = widgetOf(f, "lblYoubi");
  QTest::mouseClick(label, Qt::LeftButton, {}, {3, 3});
  EXPECT_EQ(windowOf(f)->windowTitle(), "2003年04月07日");
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 128, 128));
}

TEST_F(QtProgram, DialogAndHelpWindowFollowTheirDefinitions) {
  TForm3& dialog = *program.Form3;
  TForm2& help = *program.Form2;
  expectBuiltFrom(dialog);
  expectBuiltFrom(help);
  EXPECT_FALSE(windowOf(dialog)->isVisible());
  EXPECT_FALSE(windowOf(help)->isVisible());

  QWidget* d = windowOf(dialog);
  EXPECT_EQ(d->size(), QSize(291, 142));
  EXPECT_EQ(d->minimumSize(), d->maximumSize());
  EXPECT_EQ(d->windowType(), Qt::Dialog);
  EXPECT_FALSE(d->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  dialog.show();
  // Centred on the desktop the first time.
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  EXPECT_EQ(dialog.left(), desktop.left() + (desktop.width() - dialog.width()) / 2);
  EXPECT_EQ(dialog.top(), desktop.top() + (desktop.height() - dialog.height()) / 2);

  QWidget* h = windowOf(help);
  EXPECT_EQ(h->size(), QSize(466, 561));
  EXPECT_NE(h->minimumSize(), h->maximumSize()) << "the help window is sizeable";
  EXPECT_TRUE(h->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(help.left(), 469);
  EXPECT_EQ(help.top(), 259);
  help.show();
  h->resize(300, 200);
  auto* memo = widgetOf<QTextEdit>(help, "Memo1");
  EXPECT_EQ(memo->geometry(), QRect(0, 0, 300, 200)) << "the memo follows the window";
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->toPlainText().split('\n').size(), 42);
}

// 42 lines of 12 pixels, as designed: the whole text shows without scrolling.
TEST_F(QtProgram, TheHelpTextFitsItsWindow) {
  TForm2& help = *program.Form2;
  help.show();
  auto* memo = widgetOf<QTextEdit>(help, "Memo1");
  EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0);
  QTextCursor line(memo->document()->findBlockByNumber(41));
  EXPECT_EQ(memo->cursorRect(line).top() - memo->cursorRect(QTextCursor(memo->document())).top(), 41 * 12);
}

TEST_F(QtProgram, AMovedWindowReportsWhereItWasPut) {
  TForm2& help = *program.Form2;
  help.setLeft(120);
  help.setTop(80);
  EXPECT_EQ(help.left(), 120);
  EXPECT_EQ(help.top(), 80);
  help.show();
  EXPECT_EQ(help.left(), 120);
  EXPECT_EQ(help.top(), 80);
  EXPECT_GE(help.width(), 466);
}

TEST_F(QtProgram, ClosingAnyOtherWindowHidesItClosingTheMainWindowEndsTheProgram) {
  TForm2& help = *program.Form2;
  help.show();
  QWidget* h = windowOf(help);
  EXPECT_FALSE(h->close()) << "the close event is the program's to decide";
  EXPECT_FALSE(help.visible());
  EXPECT_FALSE(h->isVisible());
  EXPECT_FALSE(program.app.terminated());

  // The main window's close ends the running message loop.
  QTimer::singleShot(0, [&] { EXPECT_FALSE(windowOf(*program.Form1)->close()); });
  bool stuck = false;
  QTimer guard;
  guard.callOnTimeout([&] {
    stuck = true;
    QCoreApplication::exit(1);
  });
  guard.start(10000);
  program.run();
  EXPECT_FALSE(stuck);
  EXPECT_TRUE(program.app.terminated());
  EXPECT_TRUE(std::filesystem::exists(settingsFile()));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(QtProgram, TerminationSignalClosesTheMainWindowAndSavesTheSettings) {
  std::raise(SIGTERM);
  EXPECT_TRUE(QTest::qWaitFor([&] { return program.app.terminated(); }));
  EXPECT_TRUE(std::filesystem::exists(settingsFile()));
}

TEST_F(QtProgram, PatternButtonsActOnThePressNotOnTheKeyboard) {
  TForm3& dialog = *program.Form3;
  dialog.show();
  QWidget* bt4 = widgetOf(dialog, "bt4");
  bt4->setFocus();
  QTest::keyClick(bt4, Qt::Key_Space);
  EXPECT_EQ(windowOf(*program.Form1)->windowTitle(), "2003年04月07日(月)");
  QTest::mousePress(bt4, Qt::LeftButton, {}, bt4->rect().center());
  QTest::mouseRelease(bt4, Qt::LeftButton, {}, bt4->rect().center());
  EXPECT_EQ(windowOf(*program.Form1)->windowTitle(), "4月7日(月)");
}

// Under a window manager that frames every window with a 1-pixel border and a 20-pixel caption,
// as openbox does, and notes which windows it was asked about.
class QtProgramInFrames : public ::testing::Test {
 protected:
  void start(const std::string& settings) {
    ASSERT_TRUE(dir.isValid());
    platform.exePath = (dir.path() + "/kelvado").toStdString();
    std::ofstream(dir.path().toStdString() + "/kelvado.ini") << settings;
    backend.frames().ask = [this](const QWidget& w) -> qt::FrameAnswer {
      asked << w.objectName();
      return [] { return QMargins(1, 20, 1, 1); };
    };
    program.start();
  }

  QTemporaryDir dir;
  qt::QtBackend backend;
  fake::FakePlatform platform;  // one monitor of 1024 x 768
  Program program{backend, platform};
  QStringList asked;
};

// The start-up check against the monitors sees the outer size, 252 x 44, before the window is
// first shown.
TEST_F(QtProgramInFrames, APositionWhoseFrameSticksOutByOnePixelGoesTo50) {
  start("[form]\nleft=773\ntop=725\n");
  EXPECT_EQ(program.Form1->left(), 50);
  EXPECT_EQ(program.Form1->top(), 50);
}

TEST_F(QtProgramInFrames, APositionWhoseFrameJustFitsStays) {
  start("[form]\nleft=772\ntop=724\n");
  EXPECT_EQ(program.Form1->left(), 772);
  EXPECT_EQ(program.Form1->top(), 724);
}

// Near the 32-bit limit the window's edges would overflow in the toolkit's own arithmetic (the
// sanitizer build stops on it); such a window still comes back to 50.
TEST_F(QtProgramInFrames, APositionAtTheEndOfTheRangeGoesTo50) {
  start("[form]\nleft=2147483400\ntop=2147483647\n");
  EXPECT_EQ(program.Form1->left(), 50);
  EXPECT_EQ(program.Form1->top(), 50);
}

TEST_F(QtProgramInFrames, OnlyTheMainWindowAsksAtStartTheOthersOnceWhenTheirSizeIsWanted) {
  start("");
  EXPECT_EQ(asked, QStringList{"Form1"});
  TForm2& help = *program.Form2;
  EXPECT_EQ(help.width(), 466 + 2);
  EXPECT_EQ(help.height(), 561 + 21);
  help.setLeft(120);
  help.show();
  EXPECT_EQ(asked, (QStringList{"Form1", "Form2"}));
}

}  // namespace
}  // namespace kelvado::testing
