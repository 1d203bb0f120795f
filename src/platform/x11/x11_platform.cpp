// The platform layer on X11, over the toolkit's own xcb connection.
//
// Every request that names a window someone else owns may meet a window that has closed since
// we learnt its id (ids are also reused). Such requests are the checked kind and their errors
// are taken and dropped here: an error left to the toolkit would only be logged as noise, and
// a closed target must cost nothing but a skipped paste.
#include "platform/x11/x11_platform.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <string_view>
#include <thread>
#include <type_traits>

namespace kelvado {
namespace {

using namespace std::chrono_literals;

// How long a paste waits for the target to receive the focus. Activation normally takes a
// few milliseconds; a target that never takes the focus must not freeze the window for long.
constexpr auto kActivationWait = 300ms;
constexpr auto kFocusPollInterval = 1ms;

// How long a shortcut's paste waits for the user's hand to leave the keys.
constexpr auto kModifierWait = 1000ms;
constexpr auto kModifierPoll = 5ms;

constexpr xcb_keysym_t kControlL = 0xffe3;
constexpr xcb_keysym_t kLowerV = 0x0076;

// _NET_ACTIVE_WINDOW's source indication for a pager: a direct user request, honoured at once.
constexpr std::uint32_t kSourcePager = 2;

// Enough of _NET_SUPPORTED for any window manager (openbox lists about seventy atoms).
constexpr std::uint32_t kSupportedAtomsMax = 1024;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Waits for a reply; an error (a vanished window) becomes an empty reply.
template <typename Cookie, typename Fetch>
auto take(xcb_connection_t* c, Cookie cookie, Fetch fetch) {
  xcb_generic_error_t* error = nullptr;
  auto* r = fetch(c, cookie, &error);
  std::free(error);
  return Reply<std::remove_pointer_t<decltype(r)>>{r};
}

// Waits for a request without reply to be done; true when it succeeded.
bool succeeded(xcb_connection_t* c, xcb_void_cookie_t cookie) {
  xcb_generic_error_t* error = xcb_request_check(c, cookie);
  const bool ok = error == nullptr;
  std::free(error);
  return ok;
}

xcb_screen_t* screenOf(xcb_connection_t* c) {
  // The toolkit connected to the screen $DISPLAY names; the number is not offered otherwise.
  int display = 0;
  int screen = 0;
  char* host = nullptr;
  if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) screen = 0;
  std::free(host);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screen && it.rem > 1; ++i) xcb_screen_next(&it);
  return it.data;
}

// The keysym of a shortcut's key name, as parseShortcut spells them.
xcb_keysym_t keysymOf(const std::string& key) {
  if (key.size() == 1) return static_cast<xcb_keysym_t>(key[0] >= 'A' && key[0] <= 'Z' ? key[0] - 'A' + 'a' : key[0]);
  if (key[0] == 'F') return 0xffbe + static_cast<xcb_keysym_t>(std::stoi(key.substr(1)) - 1);  // F1 on
  static const std::pair<const char*, xcb_keysym_t> kNamed[] = {
      {"Space", 0x20}, {"Insert", 0xff63}, {"Delete", 0xffff},  {"Home", 0xff50},
      {"End", 0xff57}, {"PageUp", 0xff55}, {"PageDown", 0xff56}};
  for (const auto& [name, sym] : kNamed)
    if (key == name) return sym;
  return 0;
}

constexpr xcb_keysym_t kModifierKeysyms[] = {0xffe1, 0xffe2, 0xffe3, 0xffe4, 0xffe9,
                                             0xffea, 0xffe7, 0xffe8, 0xffeb, 0xffec};  // Shift..Super, L and R
constexpr xcb_keysym_t kAltL = 0xffe9, kSuperL = 0xffeb, kNumLock = 0xff7f;

// The shortcut's presses, as the toolkit's connection receives them on the root window.
class ShortcutFilter : public QAbstractNativeEventFilter {
 public:
  ShortcutFilter(xcb_window_t root, xcb_keycode_t key, std::uint16_t modifiers, std::uint16_t relevant,
                 std::function<void()> pressed)
      : root_(root), key_(key), modifiers_(modifiers), relevant_(relevant), pressed_(std::move(pressed)) {}

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->event != root_ || press->detail != key_ || (press->state & relevant_) != modifiers_) return false;
    pressed_();
    return true;
  }

 private:
  xcb_window_t root_;
  xcb_keycode_t key_;
  std::uint16_t modifiers_;
  std::uint16_t relevant_;
  std::function<void()> pressed_;
};

class X11Platform : public Platform {
 public:
  X11Platform(xcb_connection_t* c, xcb_screen_t* screen) : c_(c), root_(screen->root) {
    const auto intern = [c](std::string_view name) {
      return xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
    };
    const auto activeCookie = intern("_NET_ACTIVE_WINDOW");
    const auto checkCookie = intern("_NET_SUPPORTING_WM_CHECK");
    const auto supportedCookie = intern("_NET_SUPPORTED");
    const auto stateCookie = intern("WM_STATE");
    const auto atom = [c](xcb_intern_atom_cookie_t cookie) {
      const auto r = take(c, cookie, xcb_intern_atom_reply);
      return r ? r->atom : xcb_atom_t{XCB_NONE};
    };
    netActiveWindow_ = atom(activeCookie);
    netSupportingWmCheck_ = atom(checkCookie);
    netSupported_ = atom(supportedCookie);
    wmState_ = atom(stateCookie);

    const xcb_setup_t* setup = xcb_get_setup(c_);
    idBase_ = setup->resource_id_base;
    idMask_ = setup->resource_id_mask;

    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c_, &xcb_test_id);
    hasXTest_ = xtest != nullptr && xtest->present;
    if (!hasXTest_)
      std::fputs("kelvado: the X server has no XTEST extension; pastes only fill the clipboard\n", stderr);
  }

  WindowId foregroundWindow() override {
    // Asked first so that its answer travels with the window manager's.
    const auto focusCookie = xcb_get_input_focus(c_);
    const ActiveWindow wm = askWindowManager();
    if (wm.known) {
      xcb_discard_reply(c_, focusCookie.sequence);
      return wm.window;
    }
    const auto focus = take(c_, focusCookie, xcb_get_input_focus_reply);
    if (!focus) return 0;
    if (focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == root_) {
      // The keyboard follows the pointer: the window under it is the one typed into.
      const auto pointer = take(c_, xcb_query_pointer(c_, root_), xcb_query_pointer_reply);
      return pointer ? pointer->child : 0;
    }
    return topLevelOf(focus->focus);
  }

  // The X server gives every connection its own range of ids, and the toolkit makes all its
  // windows on the connection we share: no round trip is needed to know our own.
  bool isOwnWindow(WindowId id) override {
    return id != 0 && id <= std::numeric_limits<xcb_window_t>::max() &&
           (static_cast<xcb_window_t>(id) & ~idMask_) == idBase_;
  }

  void bringToFront(WindowId id) override {
    if (id == 0 || id > std::numeric_limits<xcb_window_t>::max()) return;
    const auto target = static_cast<xcb_window_t>(id);
    if (!take(c_, xcb_get_window_attributes(c_, target), xcb_get_window_attributes_reply)) return;
    if (askWindowManager().known) {
      xcb_client_message_event_t event{};
      event.response_type = XCB_CLIENT_MESSAGE;
      event.format = 32;
      event.window = target;
      event.type = netActiveWindow_;
      event.data.data32[0] = kSourcePager;
      event.data.data32[1] = XCB_CURRENT_TIME;
      if (!succeeded(c_, xcb_send_event_checked(
                             c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                             reinterpret_cast<const char*>(&event))))
        return;
    } else {
      const std::uint32_t above = XCB_STACK_MODE_ABOVE;
      const auto raise = xcb_configure_window_checked(c_, target, XCB_CONFIG_WINDOW_STACK_MODE, &above);
      const auto focus = xcb_set_input_focus_checked(c_, XCB_INPUT_FOCUS_PARENT, target, XCB_CURRENT_TIME);
      succeeded(c_, raise);
      // An unmapped window cannot take the focus: nothing would come of waiting.
      if (!succeeded(c_, focus)) return;
    }
    waitForFocusIn(target);
  }

  void sendCtrlV() override {
    if (!hasXTest_) return;
    const Keycodes keys = lookUpKeycodes();
    if (keys.control == 0 || keys.v == 0) return;
    // All four go out together, so that no error path can leave Control down.
    const xcb_void_cookie_t cookies[] = {fakeKey(XCB_KEY_PRESS, keys.control), fakeKey(XCB_KEY_PRESS, keys.v),
                                         fakeKey(XCB_KEY_RELEASE, keys.control), fakeKey(XCB_KEY_RELEASE, keys.v)};
    for (const auto cookie : cookies) succeeded(c_, cookie);
  }

  ~X11Platform() override {
    if (shortcutFilter_) QCoreApplication::instance()->removeNativeEventFilter(shortcutFilter_.get());
  }

  // A passive grab on the root window, once for each state of Caps Lock and Num Lock, which the
  // server counts as modifiers too.
  ShortcutStatus registerShortcut(const Shortcut& shortcut, std::function<void()> pressed) override {
    const xcb_keysym_t keysym = keysymOf(shortcut.key);
    const std::vector<xcb_keycode_t> codes = keycodesOf({keysym, kAltL, kSuperL, kNumLock});
    if (keysym == 0 || codes[0] == 0) return ShortcutStatus::Unsupported;
    const std::uint16_t alt = modifierOf(codes[1]), super = modifierOf(codes[2]), numLock = modifierOf(codes[3]);
    if ((shortcut.alt && alt == 0) || (shortcut.win && super == 0)) return ShortcutStatus::Unsupported;
    const auto modifiers = static_cast<std::uint16_t>((shortcut.ctrl ? XCB_MOD_MASK_CONTROL : 0) |
                                                      (shortcut.shift ? XCB_MOD_MASK_SHIFT : 0) |
                                                      (shortcut.alt ? alt : 0) | (shortcut.win ? super : 0));
    const std::uint16_t locks[] = {0, XCB_MOD_MASK_LOCK, numLock,
                                   static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
    for (const std::uint16_t lock : locks)
      if (!succeeded(c_, xcb_grab_key_checked(c_, 1, root_, modifiers | lock, codes[0], XCB_GRAB_MODE_ASYNC,
                                              XCB_GRAB_MODE_ASYNC))) {
        xcb_ungrab_key(c_, codes[0], root_, XCB_MOD_MASK_ANY);
        xcb_flush(c_);
        return ShortcutStatus::Taken;
      }
    shortcutKey_ = codes[0];
    const auto relevant = static_cast<std::uint16_t>(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | alt | super);
    shortcutFilter_ = std::make_unique<ShortcutFilter>(root_, codes[0], modifiers, relevant, std::move(pressed));
    QCoreApplication::instance()->installNativeEventFilter(shortcutFilter_.get());
    return ShortcutStatus::Registered;
  }

  // The grab holds the keyboard until the shortcut's own key is let go, so that one is waited for
  // as well: keys sent before would come back to us.
  void waitForModifiersUp() override {
    std::vector<xcb_keysym_t> syms(std::begin(kModifierKeysyms), std::end(kModifierKeysyms));
    std::vector<xcb_keycode_t> codes = keycodesOf(syms);
    codes.push_back(shortcutKey_);
    const auto deadline = std::chrono::steady_clock::now() + kModifierWait;
    for (;;) {
      const auto keymap = take(c_, xcb_query_keymap(c_), xcb_query_keymap_reply);
      const bool down = keymap && std::any_of(codes.begin(), codes.end(), [&](xcb_keycode_t k) {
                          return k != 0 && (keymap->keys[k / 8] & (1 << (k % 8))) != 0;
                        });
      if (!down || std::chrono::steady_clock::now() >= deadline) return;
      std::this_thread::sleep_for(kModifierPoll);
    }
  }

  void setClipboardText(const std::string& text) override {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
  }

  std::vector<MonitorRect> monitors() override {
    std::vector<MonitorRect> list;
    for (const QScreen* screen : QGuiApplication::screens()) {
      const QRect g = screen->geometry();
      list.push_back({g.x(), g.y(), g.x() + g.width(), g.y() + g.height()});
    }
    return list;
  }

  std::string executablePath() override {
    std::error_code error;
    std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error) throw Error("実行ファイルの場所が分かりません: " + error.message());
    // A program rebuilt or upgraded while it runs still belongs beside its file's name.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted) && !std::filesystem::exists(path)) path.resize(path.size() - kDeleted.size());
    return path;
  }

  LocalDateTime localNow() override {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }

 private:
  struct ActiveWindow {
    bool known = false;  // a live window manager keeps _NET_ACTIVE_WINDOW
    WindowId window = 0;
  };

  struct Keycodes {
    xcb_keycode_t control = 0;
    xcb_keycode_t v = 0;
  };

  xcb_get_property_cookie_t askWindowProperty(xcb_window_t window, xcb_atom_t property) {
    return xcb_get_property(c_, 0, window, property, XCB_ATOM_WINDOW, 0, 1);
  }

  xcb_window_t windowProperty(xcb_get_property_cookie_t cookie) {
    const auto r = take(c_, cookie, xcb_get_property_reply);
    if (!r || r->type != XCB_ATOM_WINDOW || r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
      return XCB_NONE;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(r.get()));
  }

  // _NET_ACTIVE_WINDOW is trusted only while the window manager that set it lives: the root
  // keeps the property after the window manager has gone. Alive means its check window exists
  // and names itself. The check window seen last is asked along with the root, so a tick
  // normally costs one round trip.
  ActiveWindow askWindowManager() {
    const auto rootCheckCookie = askWindowProperty(root_, netSupportingWmCheck_);
    const auto activeCookie = askWindowProperty(root_, netActiveWindow_);
    const auto supportedCookie = xcb_get_property(c_, 0, root_, netSupported_, XCB_ATOM_ATOM, 0, kSupportedAtomsMax);
    const bool seenBefore = wmCheck_ != XCB_NONE;
    const auto selfCheckCookie =
        seenBefore ? askWindowProperty(wmCheck_, netSupportingWmCheck_) : xcb_get_property_cookie_t{};
    const xcb_window_t rootCheck = windowProperty(rootCheckCookie);
    const xcb_window_t active = windowProperty(activeCookie);
    const bool supported = supports(supportedCookie, netActiveWindow_);
    xcb_window_t selfCheck = seenBefore ? windowProperty(selfCheckCookie) : XCB_NONE;
    if (rootCheck != wmCheck_) {
      wmCheck_ = rootCheck;
      if (wmCheck_ != XCB_NONE) selfCheck = windowProperty(askWindowProperty(wmCheck_, netSupportingWmCheck_));
    }
    if (wmCheck_ == XCB_NONE || selfCheck != wmCheck_ || !supported) return {};
    return {true, active};
  }

  bool supports(xcb_get_property_cookie_t cookie, xcb_atom_t atom) {
    const auto r = take(c_, cookie, xcb_get_property_reply);
    if (!r || r->type != XCB_ATOM_ATOM || r->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(r.get()));
    const int count = xcb_get_property_value_length(r.get()) / 4;
    return std::find(atoms, atoms + count, atom) != atoms + count;
  }

  // The top-level window holding w: the child of the root, or sooner the client window that a
  // reparenting window manager marks with WM_STATE. 0 when w has gone.
  WindowId topLevelOf(xcb_window_t w) {
    for (;;) {
      const auto treeCookie = xcb_query_tree(c_, w);
      const auto stateCookie = xcb_get_property(c_, 0, w, wmState_, XCB_GET_PROPERTY_TYPE_ANY, 0, 0);
      const auto tree = take(c_, treeCookie, xcb_query_tree_reply);
      const auto state = take(c_, stateCookie, xcb_get_property_reply);
      if (!tree) return 0;
      if ((state && state->type != XCB_NONE) || tree->parent == root_ || tree->parent == XCB_NONE) return w;
      w = tree->parent;
    }
  }

  bool isWithin(xcb_window_t w, xcb_window_t target) {
    while (w != XCB_NONE && w != XCB_INPUT_FOCUS_POINTER_ROOT && w != root_) {
      if (w == target) return true;
      const auto tree = take(c_, xcb_query_tree(c_, w), xcb_query_tree_reply);
      if (!tree) return false;
      w = tree->parent;
    }
    return false;
  }

  // Polls the input focus rather than _NET_ACTIVE_WINDOW, which the window manager often
  // updates after the focus has moved.
  void waitForFocusIn(xcb_window_t target) {
    const auto deadline = std::chrono::steady_clock::now() + kActivationWait;
    xcb_window_t outside = XCB_NONE;  // the last focus window found outside the target
    for (;;) {
      const auto focus = take(c_, xcb_get_input_focus(c_), xcb_get_input_focus_reply);
      if (focus && focus->focus != outside) {
        if (isWithin(focus->focus, target)) return;
        outside = focus->focus;
      }
      if (std::chrono::steady_clock::now() >= deadline) return;
      std::this_thread::sleep_for(kFocusPollInterval);
    }
  }

  // Looked up at each paste: the mapping may change while the program runs.
  Keycodes lookUpKeycodes() {
    const std::vector<xcb_keycode_t> codes = keycodesOf({kControlL, kLowerV});
    return {codes[0], codes[1]};
  }

  // The modifier bit whose keys include the key; 0 for none.
  std::uint16_t modifierOf(xcb_keycode_t key) {
    const auto map = take(c_, xcb_get_modifier_mapping(c_), xcb_get_modifier_mapping_reply);
    if (!map || key == 0) return 0;
    const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(map.get());
    for (int modifier = 0; modifier < 8; ++modifier)
      for (int i = 0; i < map->keycodes_per_modifier; ++i)
        if (keys[modifier * map->keycodes_per_modifier + i] == key) return static_cast<std::uint16_t>(1 << modifier);
    return 0;
  }

  // The keycodes of the keysyms, 0 for one no key has.
  std::vector<xcb_keycode_t> keycodesOf(const std::vector<xcb_keysym_t>& keysyms) {
    std::vector<xcb_keycode_t> codes(keysyms.size(), 0);
    const xcb_setup_t* setup = xcb_get_setup(c_);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto map = take(c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, static_cast<std::uint8_t>(count)),
                          xcb_get_keyboard_mapping_reply);
    if (!map || map->keysyms_per_keycode == 0) return codes;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int perKey = map->keysyms_per_keycode;
    const int available = xcb_get_keyboard_mapping_keysyms_length(map.get()) / perKey;
    // The unshifted position wins; a later column still finds v on a keyboard whose first
    // group is not Latin, where applications match Ctrl+V by its key.
    const auto find = [&](xcb_keysym_t sym) -> xcb_keycode_t {
      for (int column = 0; column < perKey; ++column)
        for (int key = 0; key < available; ++key)
          if (syms[key * perKey + column] == sym) return static_cast<xcb_keycode_t>(first + key);
      return 0;
    };
    for (std::size_t i = 0; i < keysyms.size(); ++i) codes[i] = find(keysyms[i]);
    return codes;
  }

  xcb_void_cookie_t fakeKey(std::uint8_t type, xcb_keycode_t key) {
    return xcb_test_fake_input_checked(c_, type, key, XCB_CURRENT_TIME, root_, 0, 0, 0);
  }

  xcb_connection_t* c_;
  xcb_window_t root_;
  xcb_atom_t netActiveWindow_ = XCB_NONE;
  xcb_atom_t netSupportingWmCheck_ = XCB_NONE;
  xcb_atom_t netSupported_ = XCB_NONE;
  xcb_atom_t wmState_ = XCB_NONE;
  xcb_window_t wmCheck_ = XCB_NONE;
  std::uint32_t idBase_ = 0;
  std::uint32_t idMask_ = 0;
  bool hasXTest_ = false;
  xcb_keycode_t shortcutKey_ = 0;
  std::unique_ptr<ShortcutFilter> shortcutFilter_;
};

}  // namespace

std::unique_ptr<Platform> makeX11Platform() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* c = x11 ? x11->connection() : nullptr;
  if (c == nullptr || xcb_connection_has_error(c))
    throw Error("kelvado needs an X11 display; the windowing system in use (" +
                QGuiApplication::platformName().toStdString() + ") is not X11");
  xcb_screen_t* screen = screenOf(c);
  if (screen == nullptr) throw Error("kelvado found no screen on the X11 display");
  return std::make_unique<X11Platform>(c, screen);
}

}  // namespace kelvado
