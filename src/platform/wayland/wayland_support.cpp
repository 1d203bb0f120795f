#include "platform/wayland/wayland_support.h"

#include <xkbcommon/xkbcommon.h>

#include <QtCore/qnamespace.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

namespace kelvado::wayland {

namespace {

constexpr std::string_view kToplevels = "zwlr_foreign_toplevel_manager_v1";
constexpr std::string_view kKeyboard = "zwp_virtual_keyboard_manager_v1";
constexpr std::string_view kSeat = "wl_seat";
constexpr std::string_view kKwinWindows = "org_kde_plasma_window_management";
constexpr std::string_view kKwinFakeInput = "org_kde_kwin_fake_input";
// Offered by KWin to every client, and by no other compositor we know of.
constexpr std::string_view kKwinMarks[] = {"org_kde_plasma_shell", "org_kde_plasma_virtual_desktop_management"};

// evdev key codes are XKB key codes less 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
using Context = std::unique_ptr<xkb_context, Freer<xkb_context, xkb_context_unref>>;
using KeymapPtr = std::unique_ptr<xkb_keymap, Freer<xkb_keymap, xkb_keymap_unref>>;

struct KeyFinder {
  xkb_keysym_t wanted;
  xkb_layout_index_t layout;
  xkb_keycode_t found = XKB_KEYCODE_INVALID;
};

// The key that gives the keysym without Shift, in the first layout that has it: a user with
// several layouts usually types shortcuts in the first.
xkb_keycode_t findKey(xkb_keymap* keymap, xkb_keysym_t sym) {
  for (xkb_layout_index_t layout = 0; layout < xkb_keymap_num_layouts(keymap); ++layout) {
    KeyFinder finder{sym, layout};
    xkb_keymap_key_for_each(
        keymap,
        [](xkb_keymap* map, xkb_keycode_t key, void* data) {
          auto* f = static_cast<KeyFinder*>(data);
          const xkb_keysym_t* syms = nullptr;
          const int count = xkb_keymap_key_get_syms_by_level(map, key, f->layout, 0, &syms);
          if (f->found == XKB_KEYCODE_INVALID && count == 1 && syms[0] == f->wanted) f->found = key;
        },
        &finder);
    if (finder.found != XKB_KEYCODE_INVALID) return finder.found;
  }
  return XKB_KEYCODE_INVALID;
}

std::vector<std::uint32_t> findKeys(xkb_keymap* keymap, std::initializer_list<xkb_keysym_t> syms) {
  std::vector<std::uint32_t> keys;
  for (const xkb_keysym_t sym : syms)
    if (const xkb_keycode_t key = findKey(keymap, sym); key != XKB_KEYCODE_INVALID) keys.push_back(key - kEvdevOffset);
  return keys;
}

std::optional<PasteKeys> findPasteKeys(xkb_keymap* keymap) {
  const xkb_keycode_t control = findKey(keymap, XKB_KEY_Control_L);
  const xkb_keycode_t v = findKey(keymap, XKB_KEY_v);
  if (control == XKB_KEYCODE_INVALID || v == XKB_KEYCODE_INVALID) return std::nullopt;
  return PasteKeys{control - kEvdevOffset,
                   v - kEvdevOffset,
                   findKeys(keymap, {XKB_KEY_Control_L, XKB_KEY_Control_R}),
                   findKeys(keymap, {XKB_KEY_Alt_L, XKB_KEY_Alt_R}),
                   findKeys(keymap, {XKB_KEY_Shift_L, XKB_KEY_Shift_R}),
                   findKeys(keymap, {XKB_KEY_Super_L, XKB_KEY_Super_R})};
}

}  // namespace

const char* const kKwinNotGranted =
    "KDE Plasma では、インストールしたケルバドにしか、ウィンドウの切り替えとキー入力が許されません。"
    "このままでは日付はクリップボードに入るだけですので、Ctrl+V で貼り付けてください。\n"
    "cmake --install でインストールし、インストール先のケルバド（メニューの「ケルバド」）から起動すると、"
    "作業中のウィンドウに貼り付けられます。";

Route chooseRoute(const std::vector<std::string>& globals) {
  const auto has = [&](std::string_view name) {
    return std::find(globals.begin(), globals.end(), name) != globals.end();
  };
  if (!has(kSeat)) return Route::kX11;
  if (has(kToplevels) && has(kKeyboard)) return Route::kWlroots;
  if (has(kKwinWindows) && has(kKwinFakeInput)) return Route::kKwin;
  if (std::any_of(std::begin(kKwinMarks), std::end(kKwinMarks), has)) return Route::kKwinNotGranted;
  // The GNOME Shell extension's route is chosen here, before X11.
  return Route::kX11;
}

std::string shortfall(const std::vector<std::string>& globals) {
  const auto has = [&](std::string_view name) {
    return std::find(globals.begin(), globals.end(), name) != globals.end();
  };
  std::string missing;
  for (const std::string_view name : {kToplevels, kKeyboard, kSeat}) {
    if (has(name)) continue;
    if (!missing.empty()) missing += ", ";
    missing += name;
  }
  if (missing.empty()) return {};
  return "kelvado: this Wayland desktop does not offer " + missing +
         ", so the program cannot tell which native Wayland window you work in nor type into it.\n"
         "kelvado: pasting works into X11 (XWayland) programs; for native Wayland programs the date only goes "
         "on the clipboard, to paste yourself with Ctrl+V.\n";
}

std::optional<PasteKeys> findPasteKeys(std::string_view keymapText) {
  // wl_keyboard hands the text out with its terminating NUL.
  while (!keymapText.empty() && keymapText.back() == '\0') keymapText.remove_suffix(1);
  const Context context{xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)};
  if (!context) return std::nullopt;
  const KeymapPtr keymap{xkb_keymap_new_from_buffer(context.get(), keymapText.data(), keymapText.size(),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)};
  if (!keymap) return std::nullopt;
  return findPasteKeys(keymap.get());
}

std::vector<std::uint32_t> shortcutModifierKeys(const PasteKeys& keys, const Shortcut& shortcut) {
  std::vector<std::uint32_t> held;
  for (const auto& [used, list] : {std::pair{shortcut.ctrl, &keys.ctrl}, std::pair{shortcut.alt, &keys.alt},
                                   std::pair{shortcut.shift, &keys.shift}, std::pair{shortcut.win, &keys.win}})
    if (used) held.insert(held.end(), list->begin(), list->end());
  return held;
}

int qtKeyCode(const Shortcut& shortcut) {
  const std::string& k = shortcut.key;
  int key = 0;
  if (k.size() == 1)  // A..Z and 0..9 are their ASCII codes in Qt
    key = k[0];
  else if (k.size() <= 3 && k[0] == 'F')
    key = Qt::Key_F1 + std::stoi(k.substr(1)) - 1;
  else {
    constexpr std::pair<std::string_view, Qt::Key> kNamed[] = {
        {"Space", Qt::Key_Space}, {"Insert", Qt::Key_Insert}, {"Delete", Qt::Key_Delete},    {"Home", Qt::Key_Home},
        {"End", Qt::Key_End},     {"PageUp", Qt::Key_PageUp}, {"PageDown", Qt::Key_PageDown}};
    for (const auto& [name, code] : kNamed)
      if (name == k) key = code;
  }
  if (key == 0) return 0;
  const auto modifier = [](bool used, Qt::KeyboardModifier m) { return used ? static_cast<int>(m) : 0; };
  return key | modifier(shortcut.ctrl, Qt::ControlModifier) | modifier(shortcut.alt, Qt::AltModifier) |
         modifier(shortcut.shift, Qt::ShiftModifier) | modifier(shortcut.win, Qt::MetaModifier);
}

std::optional<Keymap> makeKeymap() {
  // A plain US layout, named in full so that the user's XKB_DEFAULT_* settings cannot take
  // Control or v away: an application matches Ctrl+V by the keysym v.
  const Context context{xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)};
  if (!context) return std::nullopt;
  const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  const KeymapPtr keymap{xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS)};
  if (!keymap) return std::nullopt;
  const auto keys = findPasteKeys(keymap.get());
  const xkb_mod_index_t controlIndex = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_CTRL);
  if (!keys || controlIndex == XKB_MOD_INVALID) return std::nullopt;

  char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
  if (text == nullptr) return std::nullopt;
  Keymap result;
  result.text.assign(text, std::char_traits<char>::length(text) + 1);
  std::free(text);
  result.keys = *keys;
  result.controlMask = std::uint32_t{1} << controlIndex;
  return result;
}

}  // namespace kelvado::wayland
