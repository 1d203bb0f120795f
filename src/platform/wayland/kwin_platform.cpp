// The KWin route (KDE Plasma). KWin lists every window, X11 ones included, with its state and
// pid, activates any of them on request and presses keys through fake input; it grants both
// only to a program that an installed desktop entry names. The X11 platform keeps what XWayland
// serves well: the monitors, and the clipboard where data control is missing. The paste
// shortcut is KDE's global shortcuts service's, which KWin runs inside itself.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <list>
#include <string_view>

#include "fake-input-client-protocol.h"
#include "plasma-window-management-client-protocol.h"
#include "platform/wayland/kde_global_shortcut.h"
#include "platform/wayland/routes.h"
#include "platform/wayland/wayland_support.h"

namespace kelvado::wayland {
namespace {

// Version 4 gives a window's destructor and is all this uses.
constexpr std::uint32_t kWindowsVersion = 4;
// Version 4 brought keyboard keys.
constexpr std::uint32_t kFakeInputVersion = 4;
// Key states as fake input takes them.
constexpr std::uint32_t kReleased = 0;
constexpr std::uint32_t kPressed = 1;

struct Window {
  org_kde_plasma_window* handle = nullptr;
  WindowId id = 0;
  std::uint32_t pid = 0;
  bool active = false;
};

// Both KWin routes hold the shortcut through KDE's service: it needs no grant from KWin.
class KwinRoute : public CompositorRoute {
 public:
  using CompositorRoute::CompositorRoute;

  ShortcutStatus registerShortcut(const Shortcut& shortcut, std::function<void()> pressed) override {
    globalShortcut_ = std::make_unique<KdeGlobalShortcut>();
    const ShortcutStatus status = globalShortcut_->hold(shortcut, std::move(pressed));
    if (status == ShortcutStatus::Registered)
      shortcut_ = shortcut;
    else
      globalShortcut_.reset();
    return status;
  }

 protected:
  std::optional<Shortcut> shortcut_;

 private:
  std::unique_ptr<KdeGlobalShortcut> globalShortcut_;
};

class KwinPlatform : public KwinRoute {
 public:
  KwinPlatform(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection)
      : KwinRoute(std::move(x11), std::move(connection)),
        manager_(connection_->bind<org_kde_plasma_window_management>(org_kde_plasma_window_management_interface,
                                                                     kWindowsVersion)),
        fakeInput_(connection_->bind<org_kde_kwin_fake_input>(org_kde_kwin_fake_input_interface, kFakeInputVersion)),
        keyboard_(wl_seat_get_keyboard(seat_)),
        pid_(static_cast<std::uint32_t>(getpid())) {
    org_kde_plasma_window_management_add_listener(manager_, &kManagerListener, this);
    wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
    org_kde_kwin_fake_input_authenticate(fakeInput_, "Kelvado",
                                         "ケルバドは選んだ日付を作業中のウィンドウに貼り付けます");
    // The windows that exist already, then each one's state and pid, and the seat's keymap.
    wl_display_roundtrip(connection_->display());
    wl_display_roundtrip(connection_->display());
  }

  ~KwinPlatform() override {
    for (const Window& w : windows_) org_kde_plasma_window_destroy(w.handle);
    wl_keyboard_destroy(keyboard_);
    org_kde_kwin_fake_input_destroy(fakeInput_);
    org_kde_plasma_window_management_destroy(manager_);
  }

  // KWin tells every change of the active window as it happens: reading what has come is all a
  // look costs, with no question to the compositor or the X server.
  WindowId foregroundWindow() override {
    connection_->pump(0);
    for (const Window& w : windows_)
      if (w.active) return w.id;
    return 0;
  }

  bool isOwnWindow(WindowId window) override {
    if (!isNativeWindow(window)) return x11_->isOwnWindow(window);
    const Window* w = find(window);
    return w != nullptr && w->pid == pid_;
  }

  // A window that has closed is skipped; one that does not become active in time gets the keys
  // wherever the focus is, as on X11.
  void bringToFront(WindowId window) override {
    connection_->pump(0);
    Window* w = find(window);
    if (w == nullptr) return;
    org_kde_plasma_window_set_state(w->handle, ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE,
                                    ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
    connection_->settle([&] {
      const Window* target = find(window);
      if (target == nullptr) return Wait::kGiveUp;
      return target->active ? Wait::kDone : Wait::kMore;
    });
  }

  // KWin runs fake keys through the seat's keymap, as a keyboard's: the codes are those of the
  // keysyms there. All four go out in one flush, so no error path leaves Control down.
  void sendCtrlV() override {
    if (!keys_) {
      x11_->sendCtrlV();
      return;
    }
    org_kde_kwin_fake_input_keyboard_key(fakeInput_, keys_->control, kPressed);
    org_kde_kwin_fake_input_keyboard_key(fakeInput_, keys_->v, kPressed);
    org_kde_kwin_fake_input_keyboard_key(fakeInput_, keys_->control, kReleased);
    org_kde_kwin_fake_input_keyboard_key(fakeInput_, keys_->v, kReleased);
    wl_display_flush(connection_->display());
  }

  // KWin tells no program when the user lets go of the shortcut's keys: a client hears keys
  // only while it has the focus, its global shortcuts service says "released" at the first key
  // let go (the D, before the modifiers), and its key state protocol knows only the locks.
  // Fake input therefore lets go of the shortcut's modifiers itself, both left and right:
  // KWin keeps one keyboard state for the seat, so the target sees them go up and then a plain
  // Ctrl+V, and drops the user's own release that follows as a key already up. The price: a
  // user who keeps the modifiers down to press the shortcut again must press them anew.
  void waitForModifiersUp() override {
    if (!keys_ || !shortcut_) {
      x11_->waitForModifiersUp();
      return;
    }
    for (const std::uint32_t key : shortcutModifierKeys(*keys_, *shortcut_))
      org_kde_kwin_fake_input_keyboard_key(fakeInput_, key, kReleased);
    wl_display_flush(connection_->display());
  }

 private:
  static void onShowDesktop(void*, org_kde_plasma_window_management*, std::uint32_t) {}
  static void onStacking(void*, org_kde_plasma_window_management*, wl_array*) {}
  static void onStackingUuids(void*, org_kde_plasma_window_management*, const char*) {}
  static void onWindowWithUuid(void*, org_kde_plasma_window_management*, std::uint32_t, const char*) {}

  static void onWindow(void* data, org_kde_plasma_window_management* manager, std::uint32_t internalId) {
    auto* self = static_cast<KwinPlatform*>(data);
    Window& w = self->windows_.emplace_back();
    w.handle = org_kde_plasma_window_management_get_window(manager, internalId);
    w.id = kNativeWindowBit | ++self->lastSerial_;
    org_kde_plasma_window_add_listener(w.handle, &kWindowListener, self);
  }

  static void onText(void*, org_kde_plasma_window*, const char*) {}
  static void onNumber(void*, org_kde_plasma_window*, std::int32_t) {}
  static void onNothing(void*, org_kde_plasma_window*) {}
  static void onParent(void*, org_kde_plasma_window*, org_kde_plasma_window*) {}
  static void onGeometry(void*, org_kde_plasma_window*, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t) {}
  static void onMenu(void*, org_kde_plasma_window*, const char*, const char*) {}

  static void onState(void* data, org_kde_plasma_window* handle, std::uint32_t flags) {
    if (Window* w = static_cast<KwinPlatform*>(data)->find(handle))
      w->active = (flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE) != 0;
  }

  static void onPid(void* data, org_kde_plasma_window* handle, std::uint32_t pid) {
    if (Window* w = static_cast<KwinPlatform*>(data)->find(handle)) w->pid = pid;
  }

  static void onUnmapped(void* data, org_kde_plasma_window* handle) {
    static_cast<KwinPlatform*>(data)->windows_.remove_if([handle](const Window& w) { return w.handle == handle; });
    org_kde_plasma_window_destroy(handle);
  }

  // The seat's keymap, sent at once and again whenever the user changes layouts.
  static void onKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto* self = static_cast<KwinPlatform*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
      void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (text != MAP_FAILED) {
        self->keys_ = findPasteKeys(std::string_view(static_cast<const char*>(text), size));
        munmap(text, size);
      }
      if (!self->keys_)
        std::fputs("kelvado: the keyboard layout has no Control or v key; pasting through X11\n", stderr);
    }
    close(fd);
  }
  static void onEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
  static void onLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
  static void onKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
  static void onModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t) {}
  static void onRepeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

  static constexpr org_kde_plasma_window_management_listener kManagerListener{onShowDesktop, onWindow, onStacking,
                                                                              onStackingUuids, onWindowWithUuid};
  static constexpr org_kde_plasma_window_listener kWindowListener{
      onText,    onText, onState, onNumber, onText, onUnmapped, onNothing, onParent, onGeometry,
      onNothing, onPid,  onText,  onText,   onMenu, onText,     onText,    onText};
  static constexpr wl_keyboard_listener kKeyboardListener{onKeymap, onEnter, onLeave, onKey, onModifiers, onRepeat};

  Window* find(org_kde_plasma_window* handle) {
    for (Window& w : windows_)
      if (w.handle == handle) return &w;
    return nullptr;
  }

  Window* find(WindowId id) {
    for (Window& w : windows_)
      if (w.id == id) return &w;
    return nullptr;
  }

  org_kde_plasma_window_management* manager_;
  org_kde_kwin_fake_input* fakeInput_;
  wl_keyboard* keyboard_;
  std::uint32_t pid_;
  std::optional<PasteKeys> keys_;
  std::list<Window> windows_;
  WindowId lastSerial_ = 0;
};

// Pastes as on X11; the date goes on the compositor's clipboard all the same: KWin copies the
// Wayland clipboard over XWayland's when an X11 window gets the focus, which the click on the
// program's window does, and that copy could overtake the program's own on X11.
// The shortcut works here too: it puts the date on the clipboard and pastes into X11 programs,
// waiting on XWayland's key state, which holds the user's keys while an X11 window has the focus.
class KwinNotGrantedPlatform : public KwinRoute {
 public:
  KwinNotGrantedPlatform(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection)
      : KwinRoute(std::move(x11), std::move(connection)) {}
  std::string missingPasteRoute() override { return kKwinNotGranted; }
};

}  // namespace

std::unique_ptr<Platform> makeKwinPlatform(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection) {
  if (connection->version(org_kde_plasma_window_management_interface) < kWindowsVersion ||
      connection->version(org_kde_kwin_fake_input_interface) < kFakeInputVersion) {
    std::fputs(
        "kelvado: this KWin offers window management or fake input older than version 4; pasting only into X11 "
        "programs\n",
        stderr);
    return x11;
  }
  return std::make_unique<KwinPlatform>(std::move(x11), std::move(connection));
}

std::unique_ptr<Platform> makeKwinNotGrantedPlatform(std::unique_ptr<Platform> x11,
                                                     std::unique_ptr<Connection> connection) {
  std::fprintf(stderr, "kelvado: %s\n", kKwinNotGranted);
  return std::make_unique<KwinNotGrantedPlatform>(std::move(x11), std::move(connection));
}

}  // namespace kelvado::wayland
