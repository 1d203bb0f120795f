// The X11 platform layer against a real X server and real clients, once without a window
// manager and once under openbox (KELVADO_TEST_WM names it; run-platform-tests.sh sets it up).
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "foreign_client.h"
#include "platform/x11/x11_platform.h"
#include "wait.h"

namespace kelvado::testing {
namespace {

constexpr xcb_keysym_t kControlL = 0xffe3;
constexpr xcb_keysym_t kLowerV = 0x0076;
constexpr char kDateText[] = "2003年04月07日(月)";

// What the toolkit reports about X errors that reached its event queue. It reports them only
// as debug output of its xcb category, which main() turns on.
std::vector<std::string>& toolkitXErrors() {
  static std::vector<std::string> errors;
  return errors;
}

QtMessageHandler previousHandler = nullptr;

void recordXErrors(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const bool xcbDebug = type == QtDebugMsg && std::string_view(context.category) == "qt.qpa.xcb";
  if (message.contains(QLatin1String("XCB error")))
    toolkitXErrors().push_back(message.toStdString());
  else if (!xcbDebug && previousHandler != nullptr)
    previousHandler(type, context, message);
}

bool underWindowManager() {
  const char* wm = std::getenv("KELVADO_TEST_WM");
  return wm != nullptr && std::string_view(wm) != "none";
}

// Runs a program and serves the toolkit's events until it ends (it may be asking us for the
// clipboard). Returns its standard output.
std::string run(const QString& program, const QStringList& arguments, const QByteArray& input = {}) {
  QProcess p;
  p.start(program, arguments);
  p.write(input);
  p.closeWriteChannel();
  EXPECT_TRUE(waitUntil([&] { return p.state() == QProcess::NotRunning; })) << program.toStdString();
  return p.readAllStandardOutput().toStdString();
}

bool contains(const std::vector<xcb_window_t>& windows, xcb_window_t w) {
  return std::find(windows.begin(), windows.end(), w) != windows.end();
}

class X11Platform : public ::testing::Test {
 protected:
  void SetUp() override { toolkitXErrors().clear(); }

  void TearDown() override {
    // An error we left unchecked would reach the toolkit before anything sent after it. Take
    // the clipboard away from the toolkit from the other client: once the toolkit has seen
    // that, it has seen every error our requests could have caused.
    platform->setClipboardText("drain");
    run("xclip", {"-i", "-selection", "clipboard"}, "drained");
    EXPECT_TRUE(waitUntil([] { return !QGuiApplication::clipboard()->ownsClipboard(); }));
    EXPECT_EQ(toolkitXErrors(), std::vector<std::string>{});
  }

  // Two windows of another program, side by side.
  void openTwoWindows() {
    a = client.createWindow(100, 150, 300, 200);
    b = client.createWindow(500, 150, 300, 200);
  }

  std::vector<KeyEvent> keyEvents(std::size_t count) {
    std::vector<KeyEvent> keys;
    waitUntil([&] {
      for (const KeyEvent& k : client.takeKeyEvents()) keys.push_back(k);
      return keys.size() >= count;
    });
    return keys;
  }

  const bool wm = underWindowManager();
  std::unique_ptr<Platform> platform = makeX11Platform();
  ForeignClient client{wm};
  xcb_window_t a = XCB_NONE;
  xcb_window_t b = XCB_NONE;
};

TEST_F(X11Platform, ForegroundIsTheWindowTheUserWorksIn) {
  openTwoWindows();
  client.activate(a);
  EXPECT_TRUE(waitUntil([&] { return platform->foregroundWindow() == a; }));
  client.activate(b);
  EXPECT_TRUE(waitUntil([&] { return platform->foregroundWindow() == b; }));
}

TEST_F(X11Platform, ForegroundNamesTheToolkitsOwnWindowByItsId) {
  // The program compares the answer with the ids its windows report.
  QWindow own;
  own.setGeometry(100, 400, 250, 23);
  own.show();
  ASSERT_TRUE(waitUntil([&] { return own.isExposed(); }));
  own.requestActivate();
  EXPECT_TRUE(waitUntil([&] { return platform->foregroundWindow() == own.winId(); }));
  // Every window the toolkit makes is the program's own, a message box as much as the main
  // window; another client's windows are not, whatever process they belong to, and neither is 0.
  QWindow box;
  box.setFlags(Qt::Dialog);
  box.create();
  EXPECT_TRUE(platform->isOwnWindow(own.winId()));
  EXPECT_TRUE(platform->isOwnWindow(box.winId()));
  openTwoWindows();
  EXPECT_FALSE(platform->isOwnWindow(a));
  EXPECT_FALSE(platform->isOwnWindow(client.root()));
  EXPECT_FALSE(platform->isOwnWindow(0));
}

TEST_F(X11Platform, FocusInsideAWindowCountsAsItsTopLevel) {
  openTwoWindows();
  const xcb_window_t field = client.createWindow(10, 10, 100, 20, a);
  client.activate(a);
  client.setFocus(field);
  EXPECT_TRUE(waitUntil([&] { return platform->foregroundWindow() == a; }));
}

TEST_F(X11Platform, UnderAFrameTheClientWindowMarkedByTheManagerCounts) {
  if (wm) GTEST_SKIP() << "plays a window manager without _NET_ACTIVE_WINDOW itself";
  // What a reparenting window manager without _NET_ACTIVE_WINDOW leaves: frame, client, field.
  const xcb_window_t frame = client.createWindow(100, 150, 300, 200);
  const xcb_window_t window = client.createWindow(5, 20, 290, 175, frame);
  const xcb_window_t field = client.createWindow(10, 10, 100, 20, window);
  client.setProperty(window, "WM_STATE", client.atom("WM_STATE"), {1, XCB_NONE});
  client.setFocus(field);
  EXPECT_EQ(platform->foregroundWindow(), window);
  client.setFocus(frame);
  EXPECT_EQ(platform->foregroundWindow(), frame);
}

TEST_F(X11Platform, PointerRootFocusMeansTheTopLevelUnderThePointer) {
  if (wm) GTEST_SKIP() << "a window manager keeps the focus on a window";
  openTwoWindows();
  const xcb_window_t field = client.createWindow(10, 10, 100, 20, b);
  client.setFocus(XCB_INPUT_FOCUS_POINTER_ROOT);
  client.warpPointer(150, 200);
  EXPECT_EQ(platform->foregroundWindow(), a);
  client.warpPointer(520, 170);  // over the child window
  EXPECT_EQ(platform->foregroundWindow(), b);
  client.warpPointer(client.screenWidth() - 5, client.screenHeight() - 5);
  EXPECT_EQ(platform->foregroundWindow(), 0u);
  client.setFocus(XCB_NONE);
  client.warpPointer(150, 200);
  EXPECT_EQ(platform->foregroundWindow(), a);
  client.destroyWindow(field);
}

TEST_F(X11Platform, TheActiveWindowPropertyCountsOnlyWhileItsWindowManagerLives) {
  if (wm) GTEST_SKIP() << "plays a window manager itself";
  openTwoWindows();
  client.activate(a);
  // A window manager that announces itself and says b is active, while the focus is in a.
  const xcb_window_t check = client.createWindow(0, 0, 1, 1);
  const xcb_window_t root = client.root();
  struct Restore {
    ForeignClient& client;
    ~Restore() {
      for (const char* name : {"_NET_SUPPORTING_WM_CHECK", "_NET_SUPPORTED", "_NET_ACTIVE_WINDOW"})
        client.deleteProperty(client.root(), name);
    }
  } restore{client};
  client.setProperty(check, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {check});
  client.setProperty(root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {check});
  client.setProperty(root, "_NET_SUPPORTED", XCB_ATOM_ATOM,
                     {client.atom("_NET_WM_NAME"), client.atom("_NET_ACTIVE_WINDOW")});
  client.setProperty(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {b});
  EXPECT_EQ(platform->foregroundWindow(), b);
  client.setProperty(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {XCB_NONE});
  EXPECT_EQ(platform->foregroundWindow(), 0u);

  client.setProperty(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {b});
  client.setProperty(root, "_NET_SUPPORTED", XCB_ATOM_ATOM, {client.atom("_NET_WM_NAME")});
  EXPECT_EQ(platform->foregroundWindow(), a) << "a window manager without _NET_ACTIVE_WINDOW";
  client.setProperty(root, "_NET_SUPPORTED", XCB_ATOM_ATOM, {client.atom("_NET_ACTIVE_WINDOW")});
  client.setProperty(check, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {a});
  EXPECT_EQ(platform->foregroundWindow(), a) << "a check window that does not name itself";
  client.setProperty(check, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {check});
  EXPECT_EQ(platform->foregroundWindow(), b);
  // The window manager exits: its check window goes, its properties stay on the root.
  client.destroyWindow(check);
  EXPECT_EQ(platform->foregroundWindow(), a);
}

TEST_F(X11Platform, BringToFrontReturnsOnceTheTargetHasHadTheFocus) {
  // Checked through the events the other client got up to the moment of the return, not by
  // asking for the focus afterwards: openbox, now and then, moves the focus on by itself a
  // moment after an activation.
  openTwoWindows();
  for (int round = 0; round < 10; ++round) {
    client.activate(a);
    client.takeFocusChanges();
    platform->bringToFront(b);
    ASSERT_TRUE(contains(client.takeFocusChanges(), b)) << "round " << round;
    platform->bringToFront(a);
    ASSERT_TRUE(contains(client.takeFocusChanges(), a)) << "round " << round;
  }
}

TEST_F(X11Platform, BringToFrontRaisesTheTargetWithoutAWindowManager) {
  if (wm) GTEST_SKIP() << "the window manager stacks its frames";
  a = client.createWindow(100, 150, 300, 200);
  b = client.createWindow(200, 200, 300, 200);
  platform->bringToFront(a);
  const std::vector<xcb_window_t> stack = client.stacking();
  EXPECT_EQ(stack.back(), a);
}

TEST_F(X11Platform, BringToFrontOfAWindowThatIsGoneOrHiddenChangesNothing) {
  openTwoWindows();
  const xcb_window_t hidden = client.createWindow(100, 400, 100, 100);
  client.unmapWindow(hidden);
  client.activate(a);
  client.destroyWindow(b);
  platform->bringToFront(b);
  platform->bringToFront(hidden);
  platform->bringToFront(0);
  platform->bringToFront(0x1'0000'0000ULL);
  EXPECT_EQ(client.focus(), a);
  // The id of a closed window may be handed to another window later; until then nothing
  // else is found under it either.
  EXPECT_TRUE(waitUntil([&] { return platform->foregroundWindow() == a; }));
}

TEST_F(X11Platform, ForegroundOfAClosedFocusWindowIsNoWindowOrTheNextOne) {
  openTwoWindows();
  client.activate(b);
  client.destroyWindow(b);
  // Without a window manager the focus reverts to the root (the window under the pointer,
  // here none); a window manager picks another window or none.
  client.warpPointer(client.screenWidth() - 5, client.screenHeight() - 5);
  EXPECT_TRUE(waitUntil([&] {
    const WindowId w = platform->foregroundWindow();
    return w == 0 || w == a;
  }));
}

TEST_F(X11Platform, CtrlVGoesToTheFocusedWindowAsFourKeyEvents) {
  openTwoWindows();
  client.activate(a);
  client.takeKeyEvents();
  platform->sendCtrlV();
  const std::vector<KeyEvent> keys = keyEvents(4);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_TRUE(keys[0].press);
  EXPECT_EQ(client.keysymOf(keys[0].key), kControlL);
  EXPECT_TRUE(keys[1].press);
  EXPECT_EQ(client.keysymOf(keys[1].key), kLowerV);
  EXPECT_EQ(keys[1].state & XCB_MOD_MASK_CONTROL, XCB_MOD_MASK_CONTROL);
  EXPECT_FALSE(keys[2].press);
  EXPECT_EQ(keys[2].key, keys[0].key);
  EXPECT_FALSE(keys[3].press);
  EXPECT_EQ(keys[3].key, keys[1].key);
  EXPECT_EQ(keys[3].state & XCB_MOD_MASK_CONTROL, 0) << "Control goes up before V";
  EXPECT_EQ(client.modifiers() & XCB_MOD_MASK_CONTROL, 0);
}

TEST_F(X11Platform, AModifierTheUserHoldsStaysDown) {
  openTwoWindows();
  client.activate(a);
  struct Release {
    ~Release() { run("xdotool", {"keyup", "shift"}); }
  } release;
  run("xdotool", {"keydown", "shift"});
  ASSERT_TRUE(waitUntil([&] { return (client.modifiers() & XCB_MOD_MASK_SHIFT) != 0; }));
  client.takeKeyEvents();
  platform->sendCtrlV();
  const std::vector<KeyEvent> keys = keyEvents(4);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[1].state & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL), XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL);
  EXPECT_EQ(client.modifiers() & XCB_MOD_MASK_SHIFT, XCB_MOD_MASK_SHIFT);
}

TEST_F(X11Platform, TheClipboardHoldsExactlyTheTextAsUtf8) {
  run("xclip", {"-i", "-selection", "clipboard"}, "held before");
  ASSERT_TRUE(waitUntil([] { return run("xclip", {"-o", "-selection", "clipboard"}) == "held before"; }));
  platform->setClipboardText(kDateText);
  EXPECT_EQ(run("xclip", {"-o", "-selection", "clipboard", "-t", "UTF8_STRING"}), kDateText);
  platform->setClipboardText("2010年11月25日");
  EXPECT_EQ(run("xclip", {"-o", "-selection", "clipboard", "-t", "UTF8_STRING"}), "2010年11月25日");
  // The primary selection is the user's and stays as it was.
  EXPECT_FALSE(QGuiApplication::clipboard()->ownsSelection());
}

TEST_F(X11Platform, MonitorsAreTheScreensFullRectangle) {
  EXPECT_EQ(platform->monitors(), (std::vector<MonitorRect>{{0, 0, client.screenWidth(), client.screenHeight()}}));
}

TEST_F(X11Platform, TheExecutablePathSurvivesTheFileBeingReplaced) {
  // A program rebuilt or upgraded while it runs must still find its settings beside its name.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString copy = dir.filePath("kelvado");
  ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), copy));
  QProcess p;
  p.start(copy, {"--print-executable-path"});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(QFile::remove(copy));
  p.write("\n");
  p.closeWriteChannel();
  ASSERT_TRUE(waitUntil([&] { return p.state() == QProcess::NotRunning; }));
  EXPECT_EQ(p.readAllStandardOutput().toStdString(), copy.toStdString() + "\n");
  EXPECT_EQ(platform->executablePath(), QCoreApplication::applicationFilePath().toStdString());
}

TEST(NoX11, CreatingThePlatformFailsWithAClearMessage) {
  ASSERT_NE(QGuiApplication::platformName(), QLatin1String("xcb"));
  try {
    makeX11Platform();
    FAIL() << "no error without an X11 connection";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("X11"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace kelvado::testing

int main(int argc, char** argv) {
  // Used by the test above: a copy of this program reports its own path once told to.
  if (argc == 2 && std::string_view(argv[1]) == "--print-executable-path") {
    QGuiApplication app(argc, argv);
    std::string line;
    std::getline(std::cin, line);
    std::cout << kelvado::makeX11Platform()->executablePath() << '\n';
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  kelvado::testing::previousHandler = qInstallMessageHandler(kelvado::testing::recordXErrors);
  QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.xcb.debug=true"));
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
