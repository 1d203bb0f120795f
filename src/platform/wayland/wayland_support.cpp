#include "platform/wayland/wayland_support.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace kelvado::wayland {

namespace {

constexpr std::string_view kToplevels = "zwlr_foreign_toplevel_manager_v1";
constexpr std::string_view kKeyboard = "zwp_virtual_keyboard_manager_v1";
constexpr std::string_view kSeat = "wl_seat";

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
  xkb_keycode_t found = XKB_KEYCODE_INVALID;
};

}  // namespace

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

std::optional<Keymap> makeKeymap() {
  // A plain US layout, named in full so that the user's XKB_DEFAULT_* settings cannot take
  // Control or v away: an application matches Ctrl+V by the keysym v.
  const Context context{xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)};
  if (!context) return std::nullopt;
  const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  const KeymapPtr keymap{xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS)};
  if (!keymap) return std::nullopt;

  const auto find = [&](xkb_keysym_t sym) {
    KeyFinder finder{sym};
    xkb_keymap_key_for_each(
        keymap.get(),
        [](xkb_keymap* map, xkb_keycode_t key, void* data) {
          auto* f = static_cast<KeyFinder*>(data);
          const xkb_keysym_t* syms = nullptr;
          // The first level of the first group: the key pressed without Shift.
          const int count = xkb_keymap_key_get_syms_by_level(map, key, 0, 0, &syms);
          if (f->found == XKB_KEYCODE_INVALID && count == 1 && syms[0] == f->wanted) f->found = key;
        },
        &finder);
    return finder.found;
  };
  const xkb_keycode_t control = find(XKB_KEY_Control_L);
  const xkb_keycode_t v = find(XKB_KEY_v);
  const xkb_mod_index_t controlIndex = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_CTRL);
  if (control == XKB_KEYCODE_INVALID || v == XKB_KEYCODE_INVALID || controlIndex == XKB_MOD_INVALID)
    return std::nullopt;

  char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
  if (text == nullptr) return std::nullopt;
  Keymap result;
  result.text.assign(text, std::char_traits<char>::length(text) + 1);
  std::free(text);
  result.control = control - kEvdevOffset;
  result.v = v - kEvdevOffset;
  result.controlMask = std::uint32_t{1} << controlIndex;
  return result;
}

}  // namespace kelvado::wayland
