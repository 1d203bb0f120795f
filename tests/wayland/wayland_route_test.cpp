// One contract for every Wayland route, held against a compositor of the tests' own posing as
// sway or as KWin (fake_compositor.h): the foreground window as the compositor tells it, the
// program's own windows never the target, a bounded wait for the compositor's answer, closed
// targets, and Ctrl+V in the seat's keymap, flushed at once. The X11 platform under the routes is
// the fake one, so no display is needed.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fake_compositor.h"
#include "platform/fake/fake_platform.h"
#include "platform/wayland/routes.h"
#include "platform/wayland/wayland_platform.h"
#include "platform/wayland/wayland_support.h"

namespace kelvado::wayland {
namespace {

using test::Desktop;
using test::FakeCompositor;
using test::KeyEvent;

// The program's copy panel on XWayland, as the X11 platform knows it.
constexpr WindowId kOwnX11 = 0x600009;

struct RouteCase {
  const char* name;
  Desktop desktop;
  // Where Ctrl+V goes when the target did not become active in time: the wlroots route types
  // through XTest, as into an X11 window; KWin's through fake input wherever the focus is.
  bool keysThroughX11WhenNotActivated;
};

// For the test names ctest lists.
void PrintTo(const RouteCase& route, std::ostream* out) { *out << route.name; }

std::string describe(const std::vector<KeyEvent>& keys) {
  std::string text;
  for (const KeyEvent& k : keys) {
    if (!text.empty()) text += ", ";
    text += k.sym + (k.down ? " down" : " up");
    if (k.sym == "v" && k.down && k.controlHeld) text += " with Control";
  }
  return text;
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class RouteContract : public ::testing::TestWithParam<RouteCase> {
 protected:
  // The editor and the terminal are native windows of other programs; "kelvado" is the
  // program's own, by its pid for KWin and by the X11 answer for the wlroots route.
  void start(const std::string& layout = "us", const std::string& variant = "") {
    stop();
    compositor_ = std::make_unique<FakeCompositor>(GetParam().desktop, layout, variant);
    compositor_->addWindow("editor", 4242);
    compositor_->addWindow("terminal", 4343);
    compositor_->addWindow("kelvado", static_cast<std::uint32_t>(getpid()));
    auto connection = Connection::open();
    ASSERT_TRUE(connection);
    connection_ = connection.get();
    auto x11 = std::make_unique<fake::FakePlatform>();
    x11_ = x11.get();
    x11_->ownWindows.insert(kOwnX11);
    const Route route = chooseRoute(connection->globalNames());
    ASSERT_EQ(GetParam().desktop == Desktop::kSway ? Route::kWlroots : Route::kKwin, route);
    platform_ = route == Route::kWlroots ? makeWlrootsPlatform(std::move(x11), std::move(connection))
                                         : makeKwinPlatform(std::move(x11), std::move(connection));
    ASSERT_EQ(nullptr, dynamic_cast<fake::FakePlatform*>(platform_.get())) << "the route handed back the X11 platform";
    editor_ = look("editor");
    terminal_ = look("terminal");
  }

  void stop() {
    platform_.reset();
    compositor_.reset();
  }

  void TearDown() override { stop(); }

  // The user moves to the window, and the compositor tells so at once.
  void focus(const std::string& name) {
    compositor_->activate(name);
    // XWayland names the active X11 window, and none while a native one has the focus.
    x11_->foreground = name == "kelvado" ? kOwnX11 : 0;
  }

  WindowId look(const std::string& name) {
    focus(name);
    return platform_->foregroundWindow();
  }

  // After the compositor has handled all the client sent: whether what it answered still waits
  // in the socket, unread by the program.
  bool answerUnread() {
    compositor_->step();
    pollfd fd{wl_display_get_fd(connection_->display()), POLLIN, 0};
    return poll(&fd, 1, 0) > 0;
  }

  int activationRequests() {
    const auto requests = compositor_->requests();
    return static_cast<int>(std::count_if(requests.begin(), requests.end(), [](const std::string& r) {
      return r == "zwlr_foreign_toplevel_handle_v1.activate" || r == "org_kde_plasma_window.set_state";
    }));
  }

  std::unique_ptr<FakeCompositor> compositor_;
  std::unique_ptr<Platform> platform_;
  fake::FakePlatform* x11_ = nullptr;
  Connection* connection_ = nullptr;
  WindowId editor_ = 0;
  WindowId terminal_ = 0;
};

TEST_P(RouteContract, TheForegroundWindowFollowsTheCompositorWithNoQuestionPerLook) {
  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_TRUE(isNativeWindow(editor_)) << editor_;
  EXPECT_TRUE(isNativeWindow(terminal_)) << terminal_;
  EXPECT_NE(editor_, terminal_);
  const std::size_t asked = compositor_->requests().size();
  for (const auto& [name, id] : {std::pair{"editor", editor_}, {"terminal", terminal_}, {"editor", editor_}}) {
    focus(name);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(id, platform_->foregroundWindow()) << name;
  }
  focus("");
  EXPECT_EQ(0u, platform_->foregroundWindow()) << "no window has the focus";
  compositor_->step();
  const auto requests = compositor_->requests();
  EXPECT_EQ(asked, requests.size()) << "the looks asked the compositor:\n"
                                    << join({requests.begin() + static_cast<std::ptrdiff_t>(asked), requests.end()});
}

TEST_P(RouteContract, TheProgramsOwnWindowIsNeverTheTarget) {
  ASSERT_NO_FATAL_FAILURE(start());
  const WindowId own = look("kelvado");
  EXPECT_NE(0u, own);
  EXPECT_TRUE(platform_->isOwnWindow(own)) << own;
  EXPECT_FALSE(platform_->isOwnWindow(editor_));
  EXPECT_FALSE(platform_->isOwnWindow(terminal_));
}

// The click on the program's window reaches the program before the compositor has told it
// that the editor lost the focus: the editor's "active" read then is stale, and only the state
// behind a sync says whether the activation took.
TEST_P(RouteContract, BringToFrontWaitsForTheAnswerBehindASync) {
  for (const int syncs : {0, 1}) {
    SCOPED_TRACE("activation told after " + std::to_string(syncs) + " syncs");
    ASSERT_NO_FATAL_FAILURE(start());
    compositor_->answerActivationsAfter(syncs);
    ASSERT_EQ(editor_, look("editor"));
    compositor_->activateBeforeNextRequest("kelvado");
    platform_->bringToFront(editor_);
    EXPECT_FALSE(answerUnread()) << "bringToFront returned on a stale state, before the compositor's answer";
    EXPECT_EQ(1, activationRequests()) << "bringToFront returned with its request still in the program";
    EXPECT_EQ("editor", compositor_->focus());
    platform_->sendCtrlV();
    compositor_->step();
    const auto keys = compositor_->keys();
    EXPECT_EQ(4u, keys.size()) << describe(keys);
    for (const KeyEvent& k : keys) EXPECT_EQ("editor", k.focus) << k.sym;
  }
}

TEST_P(RouteContract, ATargetThatNeverBecomesActiveCostsABoundedWait) {
  ASSERT_NO_FATAL_FAILURE(start());
  compositor_->answerActivationsAfter(FakeCompositor::kNever);
  ASSERT_EQ(editor_, look("editor"));
  compositor_->activateBeforeNextRequest("kelvado");
  x11_->foreground = kOwnX11;
  platform_->bringToFront(editor_);
  EXPECT_EQ("kelvado", compositor_->focus());
  platform_->sendCtrlV();
  compositor_->step();
  const auto keys = compositor_->keys();
  const bool throughX11 = std::count(x11_->log.begin(), x11_->log.end(), "ctrl+v") == 1;
  if (GetParam().keysThroughX11WhenNotActivated) {
    EXPECT_TRUE(throughX11);
    EXPECT_TRUE(keys.empty()) << "keys to the program's own window through the compositor: " << describe(keys);
  } else {
    EXPECT_FALSE(throughX11);
    EXPECT_EQ(4u, keys.size()) << describe(keys);
  }
}

TEST_P(RouteContract, AClosedTargetCostsNothingAndNeverCrashes) {
  {
    SCOPED_TRACE("closed before the paste");
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(editor_, look("editor"));
    compositor_->close("editor");
    platform_->bringToFront(editor_);
    platform_->sendCtrlV();
    EXPECT_EQ(0, activationRequests()) << "asked to activate a window the compositor had said was closed";
    EXPECT_EQ(0, wl_display_get_error(connection_->display()));
    EXPECT_EQ(terminal_, look("terminal"));
  }
  {
    SCOPED_TRACE("closed as the activation was asked for");
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(editor_, look("editor"));
    compositor_->closeBeforeNextRequest("editor");
    platform_->bringToFront(editor_);
    platform_->sendCtrlV();
    compositor_->step();
    EXPECT_EQ(0, wl_display_get_error(connection_->display()));
    EXPECT_EQ(terminal_, look("terminal"));
    platform_->bringToFront(terminal_);
    EXPECT_EQ("terminal", compositor_->focus());
  }
}

// Dvorak puts v where US has the period; AZERTY keeps it but moves a, q, w and z. The last
// case switches the layout while the program runs, as the compositor then tells it.
TEST_P(RouteContract, CtrlVArrivesAtOnceInTheSeatsKeymap) {
  struct Layout {
    const char* layout;
    const char* variant;
    const char* switchedTo;  // the layout switched to after start, or null
  };
  for (const Layout& row :
       {Layout{"us", "", nullptr}, {"us", "dvorak", nullptr}, {"fr", "", nullptr}, {"us", "", "dvorak"}}) {
    SCOPED_TRACE(std::string(row.layout) + "(" + row.variant + ")" +
                 (row.switchedTo ? std::string(", switched to ") + row.switchedTo : ""));
    ASSERT_NO_FATAL_FAILURE(start(row.layout, row.variant));
    if (row.switchedTo) compositor_->setLayout(row.layout, row.switchedTo);
    ASSERT_EQ(editor_, look("editor"));
    platform_->bringToFront(editor_);
    platform_->sendCtrlV();
    compositor_->step();
    const auto keys = compositor_->keys();
    EXPECT_EQ("Control_L down, v down with Control, Control_L up, v up", describe(keys))
        << "(empty: the keys waited in the program for the next look)";
    for (const KeyEvent& k : keys) {
      EXPECT_EQ("editor", k.focus) << k.sym;
      EXPECT_EQ(keys.front().step, k.step) << k.sym << " came later than the first key";
    }
  }
}

// Both routes offer the date through data control, which XWayland's clipboard mirrors.
TEST_P(RouteContract, TheDateGoesOnTheCompositorsClipboardAsUtf8Text) {
  ASSERT_NO_FATAL_FAILURE(start());
  const std::string date = "2003年04月07日(月)";
  platform_->setClipboardText(date);
  const auto types = compositor_->clipboardTypes();
  for (const char* type : {"text/plain;charset=utf-8", "UTF8_STRING"})
    EXPECT_NE(types.end(), std::find(types.begin(), types.end(), type))
        << type << " not among the types offered by now:\n"
        << join(types);
  const int pasted = compositor_->askClipboard("text/plain;charset=utf-8");
  ASSERT_GE(pasted, 0);
  // The program answers as it reads the compositor, at its next look; that look also sees
  // what came after the request, which carried a file descriptor.
  EXPECT_EQ(editor_, look("editor"));
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(pasted, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(pasted);
  EXPECT_EQ(date, text);

  // A program that gives up before reading costs a failed write, not the process.
  ::close(compositor_->askClipboard("UTF8_STRING"));
  ::testing::internal::CaptureStderr();
  platform_->foregroundWindow();
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(terminal_, look("terminal"));
}

INSTANTIATE_TEST_SUITE_P(Routes, RouteContract,
                         ::testing::Values(RouteCase{"wlroots", Desktop::kSway, true},
                                           RouteCase{"kwin", Desktop::kKwin, false}),
                         [](const auto& info) { return std::string(info.param.name); });

bool handsBackX11() {
  auto x11 = std::make_unique<fake::FakePlatform>();
  const Platform* given = x11.get();
  return makeWaylandPlatform(std::move(x11)).get() == given;
}

// With a compositor listening under libwayland's default name, so that one tried without
// being named would be found.
TEST(WaylandFallback, WithoutANamedReachableCompositorTheX11PlatformServesAsBefore) {
  for (const Desktop desktop : {Desktop::kSway, Desktop::kKwin}) {
    FakeCompositor compositor(desktop);
    struct Row {
      const char* display;
      const char* said;  // on standard error; empty for nothing
    };
    const Row rows[] = {{nullptr, ""}, {"", ""}, {"kelvado-test-no-such-compositor", "cannot reach"}};
    for (const Row& row : rows) {
      SCOPED_TRACE(row.display ? std::string("WAYLAND_DISPLAY=") + row.display : "WAYLAND_DISPLAY unset");
      if (row.display)
        setenv("WAYLAND_DISPLAY", row.display, 1);
      else
        unsetenv("WAYLAND_DISPLAY");
      ::testing::internal::CaptureStderr();
      EXPECT_TRUE(handsBackX11());
      const std::string said = ::testing::internal::GetCapturedStderr();
      if (*row.said == '\0')
        EXPECT_EQ("", said);
      else
        EXPECT_NE(std::string::npos, said.find(row.said)) << said;
    }
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_FALSE(handsBackX11()) << "the compositor, once named, is used";
  }
}

}  // namespace
}  // namespace kelvado::wayland

int main(int argc, char** argv) {
  // The connection watches its socket with a QSocketNotifier.
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
