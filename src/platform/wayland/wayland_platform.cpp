// The platform layer on a Wayland desktop. The program's windows live on XWayland, where the
// X11 platform serves them; this layer adds what XWayland cannot see: which native Wayland window
// the user works in, bringing it back, and typing Ctrl+V into it.
//
// It keeps its own connection to the compositor, apart from the toolkit's X11 one, read from the
// toolkit's event loop: the compositor asks for the clipboard's text at any time.
#include "platform/wayland/wayland_platform.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QObject>
#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "platform/gnome/gnome_platform.h"
#include "platform/wayland/wayland_support.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace kelvado {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// As long as the X11 platform waits for a window manager: a target that never becomes active
// must not freeze the window for long.
constexpr auto kActivationWait = 300ms;

struct Toplevel {
  zwlr_foreign_toplevel_handle_v1* handle = nullptr;
  WindowId id = 0;
  bool activated = false;
  bool activatedPending = false;  // the state applies at the "done" that follows it
  // The X11 window this toplevel showed while it was active, for an XWayland one.
  WindowId xwindow = 0;
};

// The clipboard's text as this program offers it, until another program takes the clipboard.
struct Offer {
  zwlr_data_control_source_v1* source = nullptr;
  std::string text;
};

// The types native applications ask for; the legacy X11 ones would turn Japanese into "?".
constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"};

struct Globals {
  std::vector<std::string> names;
  wl_seat* seat = nullptr;
  zwlr_foreign_toplevel_manager_v1* toplevels = nullptr;
  zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
  zwlr_data_control_manager_v1* clipboard = nullptr;  // optional
};

void announceGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                    std::uint32_t /*version*/) {
  auto* g = static_cast<Globals*>(data);
  g->names.emplace_back(interface);
  // Version 1 of each has all this layer uses.
  const auto bind = [&](const wl_interface& kind) { return wl_registry_bind(registry, name, &kind, 1); };
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr)
    g->seat = static_cast<wl_seat*>(bind(wl_seat_interface));
  else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 && g->toplevels == nullptr)
    g->toplevels = static_cast<zwlr_foreign_toplevel_manager_v1*>(bind(zwlr_foreign_toplevel_manager_v1_interface));
  else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 && g->keyboards == nullptr)
    g->keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(bind(zwp_virtual_keyboard_manager_v1_interface));
  else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && g->clipboard == nullptr)
    g->clipboard = static_cast<zwlr_data_control_manager_v1*>(bind(zwlr_data_control_manager_v1_interface));
}

void withdrawGlobal(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener{announceGlobal, withdrawGlobal};

class WaylandPlatform : public Platform {
 public:
  WaylandPlatform(std::unique_ptr<Platform> x11, wl_display* display, wl_registry* registry, const Globals& g)
      : x11_(std::move(x11)),
        display_(display),
        registry_(registry),
        seat_(g.seat),
        manager_(g.toplevels),
        keyboards_(g.keyboards),
        clipboard_(g.clipboard),
        notifier_(wl_display_get_fd(display), QSocketNotifier::Read) {
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &kManagerListener, this);
    if (clipboard_ != nullptr) {
      device_ = zwlr_data_control_manager_v1_get_data_device(clipboard_, seat_);
      zwlr_data_control_device_v1_add_listener(device_, &kDeviceListener, this);
      // A program that asks for the text may close its end of the pipe before it is written:
      // that must cost a failed write, not the process.
      std::signal(SIGPIPE, SIG_IGN);
    }
    // The toplevels that exist already, each with its first state.
    wl_display_roundtrip(display_);
    // Made now rather than at the first paste: the first keys of a virtual keyboard that sway
    // had only just set up never reached a GTK window.
    haveKeyboard();
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { pump(0); });
  }

  ~WaylandPlatform() override {
    notifier_.setEnabled(false);
    for (const Offer& offer : offers_) zwlr_data_control_source_v1_destroy(offer.source);
    if (othersOffer_ != nullptr) zwlr_data_control_offer_v1_destroy(othersOffer_);
    if (device_ != nullptr) zwlr_data_control_device_v1_destroy(device_);
    if (clipboard_ != nullptr) zwlr_data_control_manager_v1_destroy(clipboard_);
    if (keyboard_ != nullptr) zwp_virtual_keyboard_v1_destroy(keyboard_);
    for (Toplevel& t : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
    if (manager_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    zwp_virtual_keyboard_manager_v1_destroy(keyboards_);
    wl_seat_destroy(seat_);
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
  }

  // XWayland names the active window while an X11 one has the focus, and none while a native
  // one has it: an X11 answer wins, which keeps the X11 platform's word on the program's own
  // windows; otherwise the compositor's activated toplevel is the one.
  WindowId foregroundWindow() override {
    pump(0);
    const WindowId active = activeId();
    const WindowId x = x11_->foregroundWindow();
    if (x == 0) return active;
    // Remembered for bringing the X11 window back through the compositor, unless the focus
    // moved while X11 was asked and the two answers may be about different windows.
    pump(0);
    if (active != 0 && activeId() == active) remember(*find(active), x);
    return x;
  }

  bool isOwnWindow(WindowId window) override { return !wayland::isNativeWindow(window) && x11_->isOwnWindow(window); }

  void bringToFront(WindowId window) override {
    keysToCompositor_ = false;
    if (window == 0) return;
    pump(0);
    if (wayland::isNativeWindow(window)) {
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
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
    // The compositor does not derive the modifiers from a virtual keyboard's keys: they are
    // stated beside them. All six go out in one flush, so no error path leaves Control down.
    zwp_virtual_keyboard_v1_key(keyboard_, time, keymap_.control, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, keymap_.controlMask, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard_, time, keymap_.v, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard_, time, keymap_.control, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard_, time, keymap_.v, WL_KEYBOARD_KEY_STATE_RELEASED);
    wl_display_flush(display_);
  }

  // On the compositor's clipboard, which XWayland's mirrors for X11 windows. Not on XWayland's
  // through the toolkit: sway passes that on to native windows only once the program has
  // answered XWayland's question about it, after the click's handler, when a native target has
  // the focus and sway no longer takes the clipboard from X11; and owning both at once sends
  // the two bridges round in a circle that ends with an empty clipboard.
  void setClipboardText(const std::string& text) override {
    if (device_ == nullptr) {
      x11_->setClipboardText(text);
      return;
    }
    Offer& offer = offers_.emplace_back(Offer{zwlr_data_control_manager_v1_create_data_source(clipboard_), text});
    zwlr_data_control_source_v1_add_listener(offer.source, &kSourceListener, this);
    for (const char* type : kTextTypes) zwlr_data_control_source_v1_offer(offer.source, type);
    zwlr_data_control_device_v1_set_selection(device_, offer.source);
    wl_display_flush(display_);
  }
  std::vector<MonitorRect> monitors() override { return x11_->monitors(); }
  std::string executablePath() override { return x11_->executablePath(); }
  LocalDateTime localNow() override { return x11_->localNow(); }

 private:
  static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WaylandPlatform*>(data);
    Toplevel& t = self->toplevels_.emplace_back();
    t.handle = handle;
    t.id = wayland::kNativeWindowBit | ++self->lastSerial_;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, self);
  }

  // The compositor has stopped the list: native windows are out of reach from now on.
  static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    auto* self = static_cast<WaylandPlatform*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(self->manager_);
    self->manager_ = nullptr;
  }

  static void onTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
  static void onAppId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
  static void onOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}

  static void onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
    Toplevel* t = static_cast<WaylandPlatform*>(data)->find(handle);
    if (t == nullptr) return;
    t->activatedPending = false;
    const auto* state = static_cast<const std::uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof *state; ++i)
      if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) t->activatedPending = true;
  }

  static void onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    if (Toplevel* t = static_cast<WaylandPlatform*>(data)->find(handle)) t->activated = t->activatedPending;
  }

  static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WaylandPlatform*>(data);
    self->toplevels_.remove_if([handle](const Toplevel& t) { return t.handle == handle; });
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
  }

  // Others' clipboard contents are never read; each offer is dropped when the next comes.
  static void onDataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}

  static void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    auto* self = static_cast<WaylandPlatform*>(data);
    if (self->othersOffer_ != nullptr) zwlr_data_control_offer_v1_destroy(self->othersOffer_);
    self->othersOffer_ = offer;
  }

  static void onDeviceFinished(void* data, zwlr_data_control_device_v1* device) {
    static_cast<WaylandPlatform*>(data)->device_ = nullptr;
    zwlr_data_control_device_v1_destroy(device);
  }

  static void onSend(void* data, zwlr_data_control_source_v1* source, const char*, std::int32_t fd) {
    for (const Offer& offer : static_cast<WaylandPlatform*>(data)->offers_)
      if (offer.source == source) {
        // A few dozen bytes: the pipe takes them at once.
        if (write(fd, offer.text.data(), offer.text.size()) < 0) std::perror("kelvado: clipboard");
        break;
      }
    close(fd);
  }

  static void onCancelled(void* data, zwlr_data_control_source_v1* source) {
    static_cast<WaylandPlatform*>(data)->offers_.remove_if([source](const Offer& o) { return o.source == source; });
    zwlr_data_control_source_v1_destroy(source);
  }

  static void onSynced(void* data, wl_callback* callback, std::uint32_t) {
    ++static_cast<WaylandPlatform*>(data)->syncsAnswered_;
    wl_callback_destroy(callback);
  }

  static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener{onToplevel, onFinished};
  static constexpr zwlr_foreign_toplevel_handle_v1_listener kToplevelListener{onTitle, onAppId, onOutput, onOutput,
                                                                              onState, onDone,  onClosed};
  static constexpr wl_callback_listener kSyncListener{onSynced};
  static constexpr zwlr_data_control_device_v1_listener kDeviceListener{onDataOffer, onSelection, onDeviceFinished};
  static constexpr zwlr_data_control_source_v1_listener kSourceListener{onSend, onCancelled};

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

  // Reads what the compositor has sent, waiting up to timeoutMs for something, and runs the
  // handlers. False once the connection has failed (XWayland, and with it the program, goes
  // with the compositor); its socket then stays readable, and is no longer watched.
  bool pump(int timeoutMs) {
    if (wl_display_get_error(display_) != 0) {
      notifier_.setEnabled(false);
      return false;
    }
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) > 0)
      wl_display_read_events(display_);
    else
      wl_display_cancel_read(display_);
    return wl_display_dispatch_pending(display_) >= 0;
  }

  // Asks the compositor to activate the toplevel and waits, boundedly, until it is. The state
  // read before the request may predate the click on the program's window, so only the state
  // after the compositor has answered a sync sent behind the request counts.
  bool activate(WindowId id) {
    zwlr_foreign_toplevel_handle_v1_activate(find(id)->handle, seat_);
    wl_callback_add_listener(wl_display_sync(display_), &kSyncListener, this);
    const std::uint64_t sync = ++syncsAsked_;
    const auto deadline = Clock::now() + kActivationWait;
    for (;;) {
      const Toplevel* t = find(id);
      if (t == nullptr) return false;
      if (syncsAnswered_ >= sync && t->activated) return true;
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || !pump(static_cast<int>(left))) return false;
    }
  }

  bool haveKeyboard() {
    if (keyboard_ != nullptr) return true;
    const auto keymap = wayland::makeKeymap();
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
      wl_display_roundtrip(display_);
    }
    close(fd);
    return keyboard_ != nullptr;
  }

  std::unique_ptr<Platform> x11_;
  wl_display* display_;
  wl_registry* registry_;
  wl_seat* seat_;
  zwlr_foreign_toplevel_manager_v1* manager_;
  zwp_virtual_keyboard_manager_v1* keyboards_;
  zwlr_data_control_manager_v1* clipboard_;
  zwlr_data_control_device_v1* device_ = nullptr;
  zwlr_data_control_offer_v1* othersOffer_ = nullptr;
  std::list<Offer> offers_;
  QSocketNotifier notifier_;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  wayland::Keymap keymap_;
  std::list<Toplevel> toplevels_;
  WindowId lastSerial_ = 0;
  std::uint64_t syncsAsked_ = 0;
  std::uint64_t syncsAnswered_ = 0;
  bool keysToCompositor_ = false;
};

}  // namespace

std::unique_ptr<Platform> makeWaylandPlatform(std::unique_ptr<Platform> x11) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return x11;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "kelvado: cannot reach the Wayland compositor (%s); pasting only into X11 programs\n", name);
    return x11;
  }
  wl_registry* registry = wl_display_get_registry(display);
  Globals g;
  wl_registry_add_listener(registry, &kRegistryListener, &g);
  wl_display_roundtrip(display);
  if (const std::string missing = wayland::shortfall(g.names); !missing.empty()) {
    if (g.seat != nullptr) wl_seat_destroy(g.seat);
    if (g.toplevels != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(g.toplevels);
    if (g.keyboards != nullptr) zwp_virtual_keyboard_manager_v1_destroy(g.keyboards);
    if (g.clipboard != nullptr) zwlr_data_control_manager_v1_destroy(g.clipboard);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    // The other routes, in order; the first the desktop offers serves. Otherwise X11 alone.
    if (auto gnome = makeGnomePlatform(x11)) return gnome;
    std::fputs(missing.c_str(), stderr);
    return x11;
  }
  return std::make_unique<WaylandPlatform>(std::move(x11), display, registry, g);
}

}  // namespace kelvado
