#include <gtest/gtest.h>

#include "framework/date_formats.h"
#include "rig.h"

namespace kelvado::testing {
namespace {

using namespace colors;

TEST(Startup, FirstStartShowsTheDateTextInCaptionAndTitle) {
  Rig rig;
  rig.start();
  TForm1& f = rig.form1();
  EXPECT_EQ(f.caption(), "2003年04月07日(月)");
  EXPECT_EQ(rig.backend.applicationTitle, "2003年04月07日(月)");
  EXPECT_EQ(rig.backend.peer(f).caption, "2003年04月07日(月)");
  // Mapped once, already with the date caption: "ケルバド" is never seen.
  EXPECT_EQ(rig.backend.peer(f).captionsWhenShown, std::vector<std::string>{"2003年04月07日(月)"});
  EXPECT_EQ(f.lblYoubi.text(), "(月)");
  EXPECT_EQ(f.lblYoubi.fontColor(), clBlack);
  EXPECT_EQ(f.Edit1.text(), "2003年04月07日");
  EXPECT_EQ(rig.state.YoubiText, "(月)");
  EXPECT_TRUE(f.CheckBox2.checked());
  EXPECT_TRUE(f.stayOnTop());
  EXPECT_TRUE(rig.backend.peer(f).stayOnTop);
  EXPECT_EQ(f.left(), 0);
  EXPECT_EQ(f.top(), 0);
  EXPECT_TRUE(f.visible());
  EXPECT_TRUE(rig.backend.loopRunning);
}

TEST(Startup, WindowsComeUpInOrderAndOnlyTheMainWindowIsShown) {
  Rig rig;
  rig.start();
  EXPECT_EQ(rig.program.app.mainForm(), &rig.form1());
  EXPECT_NE(rig.state.Form1Handle, 0u);
  EXPECT_EQ(rig.state.Form1Handle, rig.form1().handle());
  EXPECT_EQ(rig.state.Form2Handle, 0u);
  EXPECT_EQ(rig.state.Form3Handle, 0u);
  EXPECT_FALSE(rig.form2().visible());
  EXPECT_FALSE(rig.form3().visible());
  // The flash timer waits for a click; the poll runs.
  EXPECT_FALSE(rig.form1().Timer1.running());
  EXPECT_TRUE(rig.form1().Timer2.running());
  EXPECT_EQ(rig.form1().Timer2.interval(), 500);
}

TEST(MainWindow, WeekdayLabelTogglesTheSuffixByComplement) {
  Rig rig;
  rig.start();
  TForm1& f = rig.form1();
  f.lblYoubi.userClick();
  EXPECT_EQ(rig.state.yobichek, -2);
  EXPECT_EQ(f.caption(), "2003年04月07日");
  EXPECT_EQ(rig.backend.applicationTitle, "2003年04月07日");
  EXPECT_EQ(f.lblYoubi.text(), "(月)");
  EXPECT_EQ(f.lblYoubi.fontColor(), clGray);
  f.lblYoubi.userClick();
  EXPECT_EQ(rig.state.yobichek, 1);
  EXPECT_EQ(f.caption(), "2003年04月07日(月)");
  EXPECT_EQ(f.lblYoubi.fontColor(), clBlack);
}

TEST(MainWindow, AFlagOtherThanOneStaysOffAcrossToggles) {
  Rig rig;
  rig.start();
  TForm1& f = rig.form1();
  rig.state.yobichek = 0;
  f.lblYoubi.userClick();
  EXPECT_EQ(rig.state.yobichek, -1);
  EXPECT_EQ(f.caption(), "2003年04月07日");
  f.lblYoubi.userClick();
  EXPECT_EQ(rig.state.yobichek, 0);
  EXPECT_EQ(f.caption(), "2003年04月07日");
  EXPECT_EQ(f.lblYoubi.fontColor(), clGray);
}

TEST(MainWindow, PickingADateRefreshesEverythingButIgnoresTheTimeOfDay) {
  Rig rig;
  rig.platform.now = {2003, 4, 7, 23, 59, 58};
  rig.start();
  TForm1& f = rig.form1();
  EXPECT_EQ(f.caption(), "2003年04月07日(月)");
  f.DateTimePicker1.userChangeDate({2010, 11, 25, 23, 59, 58});
  EXPECT_EQ(f.caption(), "2010年11月25日(木)");
  EXPECT_EQ(rig.backend.applicationTitle, "2010年11月25日(木)");
  EXPECT_EQ(f.lblYoubi.text(), "(木)");
  EXPECT_EQ(rig.state.YoubiText, "(木)");
}

TEST(MainWindow, StayOnTopBoxOnlyRecordsTheWishForTheNextStart) {
  Rig rig;
  rig.start();
  TForm1& f = rig.form1();
  f.CheckBox2.userSetChecked(false);
  EXPECT_EQ(rig.state.staytop, 0);
  EXPECT_TRUE(f.stayOnTop());
  f.CheckBox2.userSetChecked(true);
  EXPECT_EQ(rig.state.staytop, 1);
}

TEST(MainWindow, VersionButtonShowsTheHelpWindowOnce) {
  Rig rig;
  rig.start();
  TForm1& f = rig.form1();
  f.BitBtn1.userClick();
  EXPECT_TRUE(rig.form2().visible());
  const WindowId first = rig.state.Form2Handle;
  EXPECT_NE(first, 0u);
  f.BitBtn1.userClick();
  EXPECT_EQ(rig.state.Form2Handle, first);
  EXPECT_TRUE(f.visible());
}

TEST(MainWindow, ClosingTheOtherWindowsHidesThemAndClosingTheMainWindowEndsTheLoop) {
  Rig rig;
  rig.start();
  rig.form1().BitBtn1.userClick();
  rig.form2().userClose();
  EXPECT_FALSE(rig.form2().visible());
  EXPECT_FALSE(rig.program.app.terminated());
  rig.form2().show();
  rig.form1().userClose();
  EXPECT_TRUE(rig.program.app.terminated());
  EXPECT_FALSE(rig.backend.loopRunning);
}

// The date picker falls back to the desktop's long format without its weekday when the whole
// does not fit; quoted text is kept as it is.
TEST(DatePickerFormat, LosesTheWeekdayAndTheSeparatorsThatJoinedIt) {
  const struct {
    const char* format;
    const char* without;
  } cases[] = {
      {"yyyy'年'M'月'd'日'dddd", "yyyy'年'M'月'd'日'"},
      {"dddd, MMMM d, yyyy", "MMMM d, yyyy"},
      {"ddd d MMM yyyy", "d MMM yyyy"},
      {"d 'dddd' MMMM, dddd", "d 'dddd' MMMM"},
      {"yyyy/MM/dd", "yyyy/MM/dd"},
  };
  for (const auto& c : cases) EXPECT_EQ(withoutWeekday(c.format), c.without) << c.format;
}

}  // namespace
}  // namespace kelvado::testing
