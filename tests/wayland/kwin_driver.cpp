// Drives a KWin session as a person would, for the end-to-end test: lists the windows with
// their pids, which one is active and where it is; clicks through KWin's pointer; closes a
// window; saves a picture of the screen. KWin grants it its interfaces like the program, through a
// desktop entry naming it.
//   kwin_driver windows          one line a window: pid active x y width height
//   kwin_driver click X Y        move the pointer there, press, hold, release the left button
//   kwin_driver close PID        ask the window of PID to close
//   kwin_driver keys STEP...     +KEY presses, -KEY releases, a number waits that many ms; keys
//                                by their names on a US keyboard (ctrl, alt, shift, meta, d, e, x)
//   kwin_driver screenshot FILE  the whole screen as a PNG, through KWin's ScreenShot2 on the
//                                session bus KWin is on
#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <QVariantMap>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string_view>
#include <thread>
#include <utility>

#include "fake-input-client-protocol.h"
#include "plasma-window-management-client-protocol.h"

namespace {

struct Window {
  org_kde_plasma_window* handle;
  std::uint32_t pid = 0;
  bool active = false;
  std::int32_t x = 0, y = 0;
  std::uint32_t width = 0, height = 0;
};

struct Session {
  org_kde_plasma_window_management* windows = nullptr;
  org_kde_kwin_fake_input* input = nullptr;
  std::list<Window> list;
};

Window& of(void* data, org_kde_plasma_window* handle) {
  for (Window& w : static_cast<Session*>(data)->list)
    if (w.handle == handle) return w;
  std::abort();
}

void onText(void*, org_kde_plasma_window*, const char*) {}
void onNumber(void*, org_kde_plasma_window*, std::int32_t) {}
void onNothing(void*, org_kde_plasma_window*) {}
void onParent(void*, org_kde_plasma_window*, org_kde_plasma_window*) {}
void onState(void* data, org_kde_plasma_window* h, std::uint32_t flags) {
  of(data, h).active = (flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE) != 0;
}
void onGeometry(void* data, org_kde_plasma_window* h, std::int32_t x, std::int32_t y, std::uint32_t w,
                std::uint32_t height) {
  Window& win = of(data, h);
  win.x = x, win.y = y, win.width = w, win.height = height;
}
void onPid(void* data, org_kde_plasma_window* h, std::uint32_t pid) { of(data, h).pid = pid; }
void onMenu(void*, org_kde_plasma_window*, const char*, const char*) {}
const org_kde_plasma_window_listener kWindowListener{onText,    onText,   onState,    onNumber,  onText, onNothing,
                                                     onNothing, onParent, onGeometry, onNothing, onPid,  onText,
                                                     onText,    onMenu,   onText,     onText,    onText};

void onShowDesktop(void*, org_kde_plasma_window_management*, std::uint32_t) {}
void onStacking(void*, org_kde_plasma_window_management*, wl_array*) {}
void onStackingUuids(void*, org_kde_plasma_window_management*, const char*) {}
void onWindowWithUuid(void*, org_kde_plasma_window_management*, std::uint32_t, const char*) {}
void onWindow(void* data, org_kde_plasma_window_management* manager, std::uint32_t id) {
  Window& w =
      static_cast<Session*>(data)->list.emplace_back(Window{org_kde_plasma_window_management_get_window(manager, id)});
  org_kde_plasma_window_add_listener(w.handle, &kWindowListener, data);
}
const org_kde_plasma_window_management_listener kManagerListener{onShowDesktop, onWindow, onStacking, onStackingUuids,
                                                                 onWindowWithUuid};

void announce(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  auto* s = static_cast<Session*>(data);
  if (std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0)
    s->windows = static_cast<org_kde_plasma_window_management*>(
        wl_registry_bind(registry, name, &org_kde_plasma_window_management_interface, 6));
  else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
    s->input =
        static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void withdraw(void*, wl_registry*, std::uint32_t) {}

// Where a US keyboard has them: fake input takes evdev codes, as a physical keyboard sends them.
constexpr std::pair<std::string_view, std::uint32_t> kKeys[] = {
    {"ctrl", KEY_LEFTCTRL}, {"alt", KEY_LEFTALT}, {"shift", KEY_LEFTSHIFT}, {"meta", KEY_LEFTMETA}, {"d", KEY_D},
    {"e", KEY_E},           {"x", KEY_X}};

// Presses and releases keys as the steps say, each one delivered before the next wait.
bool keys(wl_display* display, org_kde_kwin_fake_input* input, char** steps, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string_view step = steps[i];
    if (step.empty()) return false;
    if (step[0] != '+' && step[0] != '-') {
      wl_display_roundtrip(display);
      usleep(static_cast<useconds_t>(std::atoi(steps[i])) * 1000);
      continue;
    }
    const auto* key =
        std::find_if(std::begin(kKeys), std::end(kKeys), [&](const auto& k) { return k.first == step.substr(1); });
    if (key == std::end(kKeys)) return false;
    org_kde_kwin_fake_input_keyboard_key(
        input, key->second, step[0] == '+' ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  }
  return true;
}

int fail(const char* why) {
  std::fprintf(stderr, "kwin_driver: %s\n", why);
  return 1;
}

// KWin writes the raw pixels into the pipe and answers with their size, stride and QImage format;
// the pipe is read on a thread of its own so that neither waits on the other.
int screenshot(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return fail("no pipe");
  QByteArray pixels;
  std::thread reader([&pixels, in = fds[0]] {
    char chunk[65536];
    for (ssize_t n; (n = read(in, chunk, sizeof chunk)) > 0;) pixels.append(chunk, n);
    close(in);
  });
  QDBusMessage answer;
  {
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                                       "org.kde.KWin.ScreenShot2", "CaptureWorkspace");
    call << QVariantMap{} << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
    close(fds[1]);
    answer = QDBusConnection::sessionBus().call(call, QDBus::Block, 20'000);
  }  // the last copy of the write end goes with the call: the reader then sees the end
  reader.join();
  const QDBusReply<QVariantMap> reply(answer);
  if (!reply.isValid()) return fail(qPrintable("ScreenShot2 refused: " + reply.error().message()));
  const QVariantMap& r = reply.value();
  const int width = r.value("width").toInt(), height = r.value("height").toInt();
  const qsizetype stride = r.value("stride").toLongLong();
  if (width <= 0 || pixels.size() < stride * height) return fail("ScreenShot2 sent too little");
  const QImage image(reinterpret_cast<const uchar*>(pixels.constData()), width, height, stride,
                     static_cast<QImage::Format>(r.value("format").toInt()));
  return image.save(argv[2], "PNG") ? 0 : fail("the PNG could not be written");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return fail("usage: kwin_driver windows | click X Y | close PID | keys STEP... | screenshot FILE");
  if (argc == 3 && std::string_view(argv[1]) == "screenshot") return screenshot(argc, argv);
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return fail("no Wayland display");
  Session s;
  const wl_registry_listener listener{announce, withdraw};
  wl_registry_add_listener(wl_display_get_registry(display), &listener, &s);
  wl_display_roundtrip(display);
  if (s.windows == nullptr || s.input == nullptr) return fail("KWin has not granted its interfaces (desktop entry?)");
  org_kde_plasma_window_management_add_listener(s.windows, &kManagerListener, &s);
  org_kde_kwin_fake_input_authenticate(s.input, "kwin_driver", "end-to-end test");
  // The windows, then each one's state.
  wl_display_roundtrip(display);
  wl_display_roundtrip(display);

  const std::string_view command = argv[1];
  if (command == "windows") {
    for (const Window& w : s.list)
      std::printf("%u %d %d %d %u %u\n", w.pid, w.active ? 1 : 0, w.x, w.y, w.width, w.height);
  } else if (command == "click" && argc == 4) {
    org_kde_kwin_fake_input_pointer_motion_absolute(s.input, wl_fixed_from_int(std::atoi(argv[2])),
                                                    wl_fixed_from_int(std::atoi(argv[3])));
    org_kde_kwin_fake_input_button(s.input, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    wl_display_roundtrip(display);
    usleep(80'000);  // a person's press
    org_kde_kwin_fake_input_button(s.input, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
  } else if (command == "close" && argc == 3) {
    for (const Window& w : s.list)
      if (w.pid == static_cast<std::uint32_t>(std::atoi(argv[2]))) org_kde_plasma_window_close(w.handle);
  } else if (command == "keys" && argc >= 3) {
    if (!keys(display, s.input, argv + 2, argc - 2)) return fail("a step is neither +KEY, -KEY nor a number of ms");
  } else {
    return fail("usage: kwin_driver windows | click X Y | close PID | keys STEP... | screenshot FILE");
  }
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
