// The wlroots route (sway and its kin). The program's windows live on XWayland, where the X11
// platform serves them; this adds what XWayland cannot see: which native Wayland window the user
// works in, bringing it back, and typing Ctrl+V into it.
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <list>

#include "platform/wayland/routes.h"
#include "platform/wayland/wayland_support.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace kelvado::wayland {
namespace {

struct Toplevel {
  zwlr_foreign_toplevel_handle_v1* handle = nullptr;
  WindowId id = 0;
  bool activated = false;
  bool activatedPending = false;  // the state applies at the "done" that follows it
  // The X11 window this toplevel showed while it was active, for an XWayland one.
  WindowId xwindow = 0;
};

class WlrootsPlatform : public CompositorRoute {
 public:
  WlrootsPlatform(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection)
      : CompositorRoute(std::move(x11), std::move(connection)),
        // Version 1 of each has all this uses.
        manager_(connection_->bind<zwlr_foreign_toplevel_manager_v1>(zwlr_foreign_toplevel_manager_v1_interface, 1)),
        keyboards_(connection_->bind<zwp_virtual_keyboard_manager_v1>(zwp_virtual_keyboard_manager_v1_interface, 1)) {
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &kManagerListener, this);
    // The toplevels that exist already, each with its first state.
    wl_display_roundtrip(connection_->display());
    // Made now rather than at the first paste: the first keys of a virtual keyboard that sway
    // had only just set up never reached a GTK window.
    haveKeyboard();
  }

  ~WlrootsPlatform() override {
    if (keyboard_ != nullptr) zwp_virtual_keyboard_v1_destroy(keyboard_);
    for (Toplevel& t : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
    if (manager_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    zwp_virtual_keyboard_manager_v1_destroy(keyboards_);
  }

  // XWayland names the active window while an X11 one has the focus, and none while a native
  // one has it: an X11 answer wins, which keeps the X11 platform's word on the program's own
  // windows; otherwise the compositor's activated toplevel is the one.
  WindowId foregroundWindow() override {
    connection_->pump(0);
    const WindowId active = activeId();
    const WindowId x = x11_->foregroundWindow();
    if (x == 0) return active;
    // Remembered for bringing the X11 window back through the compositor, unless the focus
    // moved while X11 was asked and the two answers may be about different windows.
    connection_->pump(0);
    if (active != 0 && activeId() == active) remember(*find(active), x);
    return x;
  }

  bool isOwnWindow(WindowId window) override { return !isNativeWindow(window) && x11_->isOwnWindow(window); }

  void bringToFront(WindowId window) override {
    keysToCompositor_ = false;
    if (window == 0) return;
    connection_->pump(0);
    if (isNativeWindow(window)) {
      // A native window that has closed is skipped, as the X11 platform skips a gone window.
      keysToCompositor_ = find(window) != nullptr && activate(window);
      return;
    }
    // sway only marks an X11 window urgent when XWayland asks for it to be activated; the
    // compositor's own activation moves the focus. The X11 platform then waits until XWayland
    // has given the window the focus, which its keys need.
    for (const Toplevel& t : toplevels_)
      if (t.xwindow == window) {
        activate(t.id);
        break;
      }
    x11_->bringToFront(window);
  }

  // Into a native window through the virtual keyboard; into an X11 window, and whenever the
  // target was not reached, through XTest as on X11: a new keymap costs XWayland the first key
  // that follows it.
  void sendCtrlV() override {
    if (!keysToCompositor_ || !haveKeyboard()) {
      x11_->sendCtrlV();
      return;
    }
    const auto time = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
    const PasteKeys& keys = keymap_.keys;
    // The compositor does not derive the modifiers from a virtual keyboard's keys: they are
    // stated beside them. All six go out in one flush, so no error path leaves Control down.
    zwp_virtual_keyboard_v1_key(keyboard_, time, keys.control, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, keymap_.controlMask, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard_, time, keys.v, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard_, time, keys.control, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard_, time, keys.v, WL_KEYBOARD_KEY_STATE_RELEASED);
    wl_display_flush(connection_->display());
  }

 private:
  static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WlrootsPlatform*>(data);
    Toplevel& t = self->toplevels_.emplace_back();
    t.handle = handle;
    t.id = kNativeWindowBit | ++self->lastSerial_;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, self);
  }

  // The compositor has stopped the list: native windows are out of reach from now on.
  static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    auto* self = static_cast<WlrootsPlatform*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(self->manager_);
    self->manager_ = nullptr;
  }

  static void onTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
  static void onAppId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
  static void onOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}

  static void onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
    Toplevel* t = static_cast<WlrootsPlatform*>(data)->find(handle);
    if (t == nullptr) return;
    t->activatedPending = false;
    const auto* state = static_cast<const std::uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof *state; ++i)
      if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) t->activatedPending = true;
  }

  static void onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    if (Toplevel* t = static_cast<WlrootsPlatform*>(data)->find(handle)) t->activated = t->activatedPending;
  }

  static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WlrootsPlatform*>(data);
    self->toplevels_.remove_if([handle](const Toplevel& t) { return t.handle == handle; });
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
  }

  static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener{onToplevel, onFinished};
  static constexpr zwlr_foreign_toplevel_handle_v1_listener kToplevelListener{onTitle, onAppId, onOutput, onOutput,
                                                                              onState, onDone,  onClosed};

  Toplevel* find(zwlr_foreign_toplevel_handle_v1* handle) {
    for (Toplevel& t : toplevels_)
      if (t.handle == handle) return &t;
    return nullptr;
  }

  Toplevel* find(WindowId id) {
    for (Toplevel& t : toplevels_)
      if (t.id == id) return &t;
    return nullptr;
  }

  WindowId activeId() const {
    for (const Toplevel& t : toplevels_)
      if (t.activated) return t.id;
    return 0;
  }

  // An X11 window belongs to one toplevel: an answer from before a window id was reused must
  // not send a paste to the old one's toplevel.
  void remember(Toplevel& active, WindowId xwindow) {
    for (Toplevel& t : toplevels_)
      if (t.xwindow == xwindow) t.xwindow = 0;
    active.xwindow = xwindow;
  }

  // Asks the compositor to activate the toplevel and waits, boundedly, until it is.
  bool activate(WindowId id) {
    zwlr_foreign_toplevel_handle_v1_activate(find(id)->handle, seat_);
    return connection_->settle([&] {
      const Toplevel* t = find(id);
      if (t == nullptr) return Wait::kGiveUp;
      return t->activated ? Wait::kDone : Wait::kMore;
    });
  }

  bool haveKeyboard() {
    if (keyboard_ != nullptr) return true;
    const auto keymap = makeKeymap();
    if (!keymap) return false;
    const int fd = memfd_create("kelvado-keymap", MFD_CLOEXEC);
    if (fd < 0) return false;
    const bool written =
        write(fd, keymap->text.data(), keymap->text.size()) == static_cast<ssize_t>(keymap->text.size());
    if (written) {
      keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards_, seat_);
      // The request carries a copy of the descriptor.
      zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                     static_cast<std::uint32_t>(keymap->text.size()));
      keymap_ = *keymap;
      // The keymap reaches the compositor before any key that needs it.
      wl_display_roundtrip(connection_->display());
    }
    close(fd);
    return keyboard_ != nullptr;
  }

  zwlr_foreign_toplevel_manager_v1* manager_;
  zwp_virtual_keyboard_manager_v1* keyboards_;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  Keymap keymap_;
  std::list<Toplevel> toplevels_;
  WindowId lastSerial_ = 0;
  bool keysToCompositor_ = false;
};

}  // namespace

std::unique_ptr<Platform> makeWlrootsPlatform(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection) {
  return std::make_unique<WlrootsPlatform>(std::move(x11), std::move(connection));
}

}  // namespace kelvado::wayland
