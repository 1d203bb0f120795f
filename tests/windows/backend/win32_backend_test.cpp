// What only the Win32 backend has: the program's windows as Windows sees them (styles, exact
// client sizes, top-most from creation, the font), Tab, closing and the end of the session, DPI
// scaling and a message box that really waits.
#include <gtest/gtest.h>

#include <windows.h>
#include <imm.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "framework/win32/win32_shared.h"
#include "kelvado_.h"
#include "platform/fake/fake_platform.h"
#include "program.h"
#include "setei.h"
#include "settings/fake/memory_file_store.h"
#include "vajhel.h"
#include "win32/wide_text.h"
#include "win32_driver.h"

namespace kelvado::testing {
namespace {

LONG_PTR styleOf(HWND w) { return GetWindowLongPtrW(w, GWL_STYLE); }
LONG_PTR exStyleOf(HWND w) { return GetWindowLongPtrW(w, GWL_EXSTYLE); }

std::pair<int, int> clientOf(HWND w) {
  RECT r;
  GetClientRect(w, &r);
  return {r.right, r.bottom};
}

Rect boundsIn(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The program's top-level windows that exist, shown or not.
int formWindows() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM count) -> BOOL {
        wchar_t name[32] = {};
        if (GetClassNameW(window, name, 32) && std::wcscmp(name, win32::kFormClass) == 0)
          ++*reinterpret_cast<int*>(count);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

LOGFONTW fontOf(HWND w) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

class Win32Program : public ::testing::Test {
 protected:
  void SetUp() override {
    program.settingsFiles = &files;
    backend.setModalHook([this](const win32::ModalBox& box) { boxes.push_back(win32::narrow(box.text)); });
    backend.setEndProcessAtSessionEnd(false);
    program.start();
    pumpMessages();
  }
  HWND control(Form& form, int index) { return win32::Win32Backend::controlWindow(form, index); }
  bool saved() const { return files.files.count("/opt/kelvado/kelvado.ini") == 1; }

  win32::Win32Backend backend;
  fake::FakePlatform platform;
  fake::MemoryFileStore files;
  Program program{backend, platform};
  std::vector<std::string> boxes;
};

TEST_F(Win32Program, MainWindowIsTheDesignedRowOnTopFromTheStart) {
  TForm1& f = *program.Form1;
  const HWND w = windowOf(f);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(textOf(w), "2003年04月07日(月)") << "the task bar shows the window's text";
  EXPECT_EQ(backend.applicationTitle(), textOf(w));
  EXPECT_EQ(clientOf(w), (std::pair{250, 23}));
  const LONG_PTR style = styleOf(w);
  EXPECT_TRUE((style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)) == (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(exStyleOf(w) & WS_EX_TOPMOST) << "no settings file: stay on top";
  EXPECT_EQ(ImmGetDefaultIMEWnd(w), nullptr) << "no input method";
  EXPECT_NE(GetClassLongPtrW(w, GCLP_HICON), 0) << "the calendar page, from its picture here";
  for (int i = 0; i < static_cast<int>(form1::kDefinition.controls.size()); ++i) {
    const HWND c = control(f, i);
    if (!c) continue;
    const LOGFONTW font = fontOf(c);
    EXPECT_STREQ(font.lfFaceName, L"ＭＳ Ｐゴシック") << i;
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET) << i;
    EXPECT_EQ(font.lfHeight, -12) << i;
  }
  EXPECT_EQ(program.state.Form1Handle, f.handle());
  // The version button is a push button the theme draws, like its neighbours, with its pictures.
  const HWND version = control(f, form1::BitBtn1);
  EXPECT_EQ(styleOf(version) & BS_TYPEMASK, BS_PUSHBUTTON);
  BUTTON_IMAGELIST images{};
  ASSERT_TRUE(SendMessageW(version, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images)));
  EXPECT_EQ(ImageList_GetImageCount(images.himl), 6) << "one for each state";
}

// Start-up pays for the main window only: the dialog's and the help window's are made at their
// first show, before their show handlers record them, and the tooltip when the pointer first
// moves over a control with a hint.
TEST_F(Win32Program, HiddenWindowsAreMadeWhenFirstShown) {
  EXPECT_EQ(formWindows(), 1);
  const HWND copy = control(*program.Form1, form1::Panel1);
  TTTOOLINFOW tool;
  EXPECT_EQ(tooltipOf(copy, tool), nullptr);
  pointAt(copy);
  EXPECT_NE(tooltipOf(copy, tool), nullptr);
  EXPECT_NE(tooltipOf(control(*program.Form1, form1::CheckBox2), tool), nullptr) << "one tooltip for all";
  program.Form3->show();
  EXPECT_EQ(formWindows(), 2);
  EXPECT_EQ(program.state.Form3Handle, program.Form3->handle());
  EXPECT_TRUE(IsWindowVisible(windowOf(*program.Form3)));
}

TEST_F(Win32Program, TheDialogIsCentredTheHelpWindowSizeable) {
  const HWND dialog = windowOf(*program.Form3);
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_EQ(clientOf(dialog), (std::pair{291, 142}));
  EXPECT_TRUE(exStyleOf(dialog) & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(styleOf(dialog) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  program.Form3->show();
  TForm3& d = *program.Form3;
  EXPECT_EQ(d.left(), GetSystemMetrics(SM_XVIRTUALSCREEN) + (GetSystemMetrics(SM_CXVIRTUALSCREEN) - d.width()) / 2);
  EXPECT_EQ(d.top(), GetSystemMetrics(SM_YVIRTUALSCREEN) + (GetSystemMetrics(SM_CYVIRTUALSCREEN) - d.height()) / 2);

  TForm2& help = *program.Form2;
  const HWND h = windowOf(help);
  RECT outer;
  GetWindowRect(h, &outer);
  EXPECT_EQ((std::pair<LONG, LONG>{outer.right - outer.left, outer.bottom - outer.top}),
            (std::pair<LONG, LONG>{474, 595}))
      << "outer size";
  EXPECT_TRUE((styleOf(h) & (WS_THICKFRAME | WS_MAXIMIZEBOX)) == (WS_THICKFRAME | WS_MAXIMIZEBOX));
  EXPECT_EQ(help.left(), 469);
  EXPECT_EQ(help.top(), 259);
  help.show();
  const HWND memo = control(help, form2::Memo1);
  // Its 42 lines, each ended as an edit control needs it, or they would run together.
  std::wstring raw(static_cast<std::size_t>(GetWindowTextLengthW(memo)) + 1, L'\0');
  raw.resize(static_cast<std::size_t>(GetWindowTextW(memo, raw.data(), static_cast<int>(raw.size()))));
  std::size_t lineEnds = 0;
  for (std::size_t i = raw.find(L'\n'); i != std::wstring::npos; i = raw.find(L'\n', i + 1)) {
    EXPECT_TRUE(i > 0 && raw[i - 1] == L'\r') << "a line end without its CR at " << i;
    ++lineEnds;
  }
  EXPECT_EQ(lineEnds, 41u);
  const auto lines = SendMessageW(memo, EM_GETLINECOUNT, 0, 0);
  RECT r;
  GetWindowRect(h, &r);
  SetWindowPos(h, nullptr, 0, 0, r.right - r.left - 200, r.bottom - r.top - 100, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(boundsIn(memo), (Rect{0, 0, clientOf(h).first, clientOf(h).second})) << "the memo follows the window";
  EXPECT_GT(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), lines) << "long lines wrap at the narrower edge";
}

// The dialog's note is greyed out: its text, not its white.
TEST_F(Win32Program, TheDisabledNoteKeepsItsWhiteAndGreysItsText) {
  program.Form3->show();
  const Drawn note = render(control(*program.Form3, form3::Memo1));
  EXPECT_EQ(note.at(note.width - 3, note.height - 3), 0xFFFFFFu);
  const std::uint32_t grey = GetSysColor(COLOR_GRAYTEXT);
  const std::uint32_t greyRgb = ((grey & 0xFF) << 16) | (grey & 0xFF00) | ((grey >> 16) & 0xFF);
  EXPECT_NE(std::ranges::find(note.rgb, greyRgb), note.rgb.end()) << "grey text";
}

TEST_F(Win32Program, TabGoesRoundThePatternButtonsOnly) {
  program.Form3->show();
  const HWND bt5 = control(*program.Form3, form3::bt5);
  SetFocus(bt5);
  PostMessageW(bt5, WM_KEYDOWN, VK_TAB, 1);
  PostMessageW(windowOf(*program.Form1), WM_CLOSE, 0, 0);
  program.run();
  EXPECT_EQ(GetFocus(), control(*program.Form3, form3::bt1));
}

// Only the main window has a taskbar button: the others are owned by a window never shown.
// Activated, a window gives the keyboard focus back to the control that had it, or else to its
// first tab stop. A click on the copy panel leaves another program's window active.
TEST_F(Win32Program, OneTaskbarButtonTheFocusBackOnActivationAndNoActivationByTheCopyPanel) {
  const HWND main = windowOf(*program.Form1);
  program.Form2->show();
  program.Form3->show();
  const HWND owner = GetWindow(windowOf(*program.Form3), GW_OWNER);
  EXPECT_EQ(GetWindow(main, GW_OWNER), nullptr);
  EXPECT_NE(owner, nullptr);
  EXPECT_NE(owner, main);
  EXPECT_FALSE(IsWindowVisible(owner));
  EXPECT_EQ(GetWindow(windowOf(*program.Form2), GW_OWNER), owner);
  EXPECT_FALSE(exStyleOf(windowOf(*program.Form3)) & (WS_EX_TOPMOST | WS_EX_APPWINDOW));

  const HWND dialog = windowOf(*program.Form3);
  SetActiveWindow(main);
  SetActiveWindow(dialog);
  EXPECT_EQ(GetFocus(), control(*program.Form3, form3::bt1));
  SetFocus(control(*program.Form3, form3::bt4));
  SetActiveWindow(main);
  EXPECT_EQ(GetFocus(), control(*program.Form1, form1::BitBtn1));
  SetActiveWindow(dialog);
  EXPECT_EQ(GetFocus(), control(*program.Form3, form3::bt4));

  const HWND copy = control(*program.Form1, form1::Panel1);
  SendMessageW(copy, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  EXPECT_TRUE(exStyleOf(main) & WS_EX_NOACTIVATE) << "no activation while the pointer is over the copy panel";
  SendMessageW(copy, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(exStyleOf(main) & WS_EX_NOACTIVATE);
  SendMessageW(control(*program.Form1, form1::CheckBox2), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  EXPECT_FALSE(exStyleOf(main) & WS_EX_NOACTIVATE);
}

TEST_F(Win32Program, ClosingAnyOtherWindowHidesItClosingTheMainWindowEndsTheProgram) {
  program.Form2->show();
  SendMessageW(windowOf(*program.Form2), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(windowOf(*program.Form2)));
  EXPECT_FALSE(program.Form2->visible());
  EXPECT_FALSE(program.app.terminated());

  PostMessageW(windowOf(*program.Form1), WM_CLOSE, 0, 0);
  program.run();
  EXPECT_TRUE(program.app.terminated());
  EXPECT_TRUE(saved());
  EXPECT_TRUE(boxes.empty());
}

// Closed from the task bar while minimised: the place saved is where the window comes back to,
// not the far-off place Windows parks a minimised window at.
TEST_F(Win32Program, AMinimisedWindowReportsWhereItWillComeBack) {
  TForm1& f = *program.Form1;
  f.setLeft(100);
  f.setTop(80);
  ShowWindow(windowOf(f), SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(windowOf(f)));
  EXPECT_EQ(f.left(), 100);
  EXPECT_EQ(f.top(), 80);
}

TEST_F(Win32Program, TheEndOfTheSessionSavesTheSettingsOnlyWhenItReallyEnds) {
  const HWND w = windowOf(*program.Form1);
  EXPECT_EQ(SendMessageW(w, WM_QUERYENDSESSION, 0, 0), TRUE) << "never holds the session up";
  SendMessageW(w, WM_ENDSESSION, FALSE, 0);  // another program cancelled it
  EXPECT_FALSE(saved());
  EXPECT_FALSE(program.app.terminated());
  SendMessageW(w, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(saved());
  EXPECT_TRUE(program.app.terminated());
  EXPECT_EQ(program.app.exitStatus(), 0);
}

// A log-off while the file cannot be written: no box holds it up, and the program ends saying so,
// ending the process itself before Windows does, so that the status tells.
TEST_F(Win32Program, TheEndOfTheSessionWithAnUnwritableFileEndsWithoutABox) {
  files.failWrites = true;
  backend.setEndProcessAtSessionEnd(true);
  EXPECT_EXIT(SendMessageW(windowOf(*program.Form1), WM_ENDSESSION, TRUE, 0), ::testing::ExitedWithCode(1), "");
  backend.setEndProcessAtSessionEnd(false);
  SendMessageW(windowOf(*program.Form1), WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(program.app.terminated());
  EXPECT_EQ(program.app.exitStatus(), 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(Win32Program, AQuitTheProgramDidNotAskForStillClosesTheMainWindowFirst) {
  PostQuitMessage(0);
  program.run();
  EXPECT_TRUE(saved());
  EXPECT_TRUE(program.app.terminated());
}

// Windows tells a window that moved to a monitor of another DPI; every designed pixel follows.
TEST_F(Win32Program, At144DpiEveryDesignedPixelIsScaled) {
  const HWND w = windowOf(*program.Form1);
  RECT suggested{40, 30, 400, 100};
  SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(clientOf(w), (std::pair{375, 35}));
  RECT outer;
  GetWindowRect(w, &outer);
  EXPECT_EQ(outer.left, 40);
  EXPECT_EQ(outer.top, 30);
  // 152, 1, 41 x 19 in the design: edges at 1.5 times, rounded.
  const HWND panel = control(*program.Form1, form1::Panel1);
  EXPECT_EQ(boundsIn(panel), (Rect{228, 2, 62, 28}));
  EXPECT_EQ(fontOf(panel).lfHeight, -18);
  EXPECT_EQ(boundsIn(control(*program.Form1, form1::DateTimePicker1)), (Rect{0, 0, 182, 30}));

  // A window the user sizes takes the size Windows suggests.
  const HWND help = windowOf(*program.Form2);
  suggested = {10, 20, 710, 900};
  SendMessageW(help, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  GetWindowRect(help, &outer);
  EXPECT_EQ((Rect{outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top}),
            (Rect{10, 20, 700, 880}));
}

constexpr FormDef kHidden{.name = "Hidden", .caption = "隠", .clientWidth = 50, .clientHeight = 20};

TEST(Win32Forms, AStayOnTopWindowIsTopMostBeforeItIsFirstShown) {
  win32::Win32Backend backend;
  Application app{backend};
  Form form{app, kHidden};
  form.onCreate = [&] { form.setStayOnTop(true); };
  form.create();
  EXPECT_FALSE(IsWindowVisible(windowOf(form)));
  EXPECT_TRUE(exStyleOf(windowOf(form)) & WS_EX_TOPMOST);
}

constexpr ControlDef kHeldControls[] = {
    {.kind = ControlKind::CheckBox, .name = "Tick", .width = 17, .height = 20},
    {.kind = ControlKind::Memo, .name = "Note", .top = 20, .width = 50, .height = 40, .readOnly = true},
};
constexpr FormDef kHeld{
    .name = "Held", .caption = "隠", .clientWidth = 50, .clientHeight = 60, .controls = kHeldControls};

TEST(Win32Forms, AWindowMadeAtItsFirstShowShowsWhatWasSetBefore) {
  win32::Win32Backend backend;
  Application app{backend};
  Form form{app, kHeld};
  form.create();
  form.setCaption("設定");
  form.setStayOnTop(true);
  form.control(0).setChecked(true);
  form.control(1).setText("一行目\n二行目");
  EXPECT_EQ(formWindows(), 0);
  form.show();
  ASSERT_EQ(formWindows(), 1);
  EXPECT_EQ(textOf(windowOf(form)), "設定");
  EXPECT_TRUE(exStyleOf(windowOf(form)) & WS_EX_TOPMOST);
  EXPECT_EQ(SendMessageW(win32::Win32Backend::controlWindow(form, 0), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(textOf(win32::Win32Backend::controlWindow(form, 1)), "一行目\n二行目");
}

// What the person saw in the real box, read from its windows before Escape answered it.
struct SeenBox {
  HWND box = nullptr;
  HWND owner = nullptr;
  std::string caption;
  std::vector<std::string> texts;
  std::vector<std::string> buttons;
  bool stopIcon = false;
};
SeenBox gSeen;

void CALLBACK readAndAnswerTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = GetActiveWindow();
  wchar_t name[16] = {};
  if (!box || !GetClassNameW(box, name, 16) || std::wcscmp(name, L"#32770") != 0) return;
  KillTimer(nullptr, timer);
  gSeen.box = box;
  gSeen.owner = GetWindow(box, GW_OWNER);
  gSeen.caption = textOf(box);
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    GetClassNameW(child, name, 16);
    if (_wcsicmp(name, L"Button") == 0) gSeen.buttons.push_back(textOf(child));
    if (_wcsicmp(name, L"Static") != 0) continue;
    if ((styleOf(child) & SS_TYPEMASK) == SS_ICON)
      gSeen.stopIcon =
          SendMessageW(child, STM_GETICON, 0, 0) == reinterpret_cast<LRESULT>(LoadIconW(nullptr, IDI_HAND));
    else if (!textOf(child).empty())
      gSeen.texts.push_back(textOf(child));
  }
  PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
}

TEST(Win32Forms, AModalBoxWaitsForItsAnswer) {
  win32::Win32Backend backend;
  Application app{backend};
  Form form{app, kHidden};
  form.create();
  form.show();
  app.setTitle("2003年04月07日(月)");
  SetTimer(nullptr, 0, 20, readAndAnswerTheBox);
  app.showError("失敗");
  ASSERT_NE(gSeen.box, nullptr);
  EXPECT_FALSE(IsWindow(gSeen.box)) << "answered and gone";
  EXPECT_EQ(gSeen.owner, windowOf(form));
  EXPECT_EQ(gSeen.caption, "2003年04月07日(月)");
  EXPECT_EQ(gSeen.texts, std::vector<std::string>{"失敗."});
  EXPECT_EQ(gSeen.buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(gSeen.stopIcon);
}

}  // namespace
}  // namespace kelvado::testing
