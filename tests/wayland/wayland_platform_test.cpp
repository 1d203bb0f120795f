// The Wayland platform's parts that need no compositor: the keymap its virtual keyboard
// uploads, the keys found in a user's keymap, which route a compositor gets and what is said on
// one that has none, and the shortcut as KDE's global shortcuts service takes it. The routes against a compositor are
// in wayland_route_test.cpp.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <xkbcommon/xkbcommon.h>

#include <QKeySequence>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/wayland_support.h"

namespace kelvado::wayland {
namespace {

constexpr xkb_keycode_t kEvdevOffset = 8;

// Reads the uploaded keymap back as a client would, and presses the keys the paste sends.
TEST(WaylandKeymap, CtrlVIsWhatAnApplicationSees) {
  const auto keymap = makeKeymap();
  ASSERT_TRUE(keymap);
  ASSERT_FALSE(keymap->text.empty());
  EXPECT_EQ('\0', keymap->text.back()) << "the protocol passes the text with its terminating NUL";

  const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                           xkb_context_unref};
  const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> client{
      xkb_keymap_new_from_string(context.get(), keymap->text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                 XKB_KEYMAP_COMPILE_NO_FLAGS),
      xkb_keymap_unref};
  ASSERT_TRUE(client) << "the keymap does not compile";
  const std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state{xkb_state_new(client.get()), xkb_state_unref};

  // What the compositor forwards: the key codes as they are, the modifiers as stated.
  EXPECT_EQ(XKB_KEY_Control_L, xkb_state_key_get_one_sym(state.get(), keymap->keys.control + kEvdevOffset));
  xkb_state_update_mask(state.get(), keymap->controlMask, 0, 0, 0, 0, 0);
  EXPECT_EQ(1, xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE));
  EXPECT_EQ(0, xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE));
  EXPECT_EQ(XKB_KEY_v, xkb_state_key_get_one_sym(state.get(), keymap->keys.v + kEvdevOffset));
}

// The keys a layout puts Control_L and v on, read back from the keymap text as the seat hands
// it out: on Dvorak the key marked V types a dot, and Ctrl with it is no paste.
TEST(WaylandKeymap, PasteKeysFollowTheUsersLayout) {
  const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                           xkb_context_unref};
  struct Row {
    const char* layout;
    const char* variant;
    std::uint32_t v;                     // evdev
    std::vector<std::uint32_t> ctrlAlt;  // what the paste lets go of after Ctrl+Alt+D
  };
  // Where AltGr sits right of the space bar (fr), the right Alt is no Alt.
  const Row rows[] = {{"us", "", 47, {29, 97, 56, 100}},
                      {"us", "dvorak", 52, {29, 97, 56, 100}},
                      {"fr", "", 47, {29, 97, 56}},
                      {"ru,us", "", 47, {29, 97, 56, 100}},
                      {"jp", "", 47, {29, 97, 56, 100}}};
  std::string problem;
  const Shortcut ctrlAltD = *parseShortcut("Ctrl+Alt+D", problem);
  const Shortcut winShiftD = *parseShortcut("Win+Shift+D", problem);
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.layout) + "(" + row.variant + ")");
    const xkb_rule_names names{"evdev", "pc105", row.layout, row.variant, ""};
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS), xkb_keymap_unref};
    ASSERT_TRUE(keymap);
    const std::unique_ptr<char, decltype(&free)> text{xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1),
                                                      free};
    // With the terminating NUL, as wl_keyboard hands it out.
    const auto keys = findPasteKeys(std::string_view(text.get(), strlen(text.get()) + 1));
    ASSERT_TRUE(keys);
    EXPECT_EQ(29u, keys->control);
    EXPECT_EQ(row.v, keys->v);
    EXPECT_EQ(row.ctrlAlt, shortcutModifierKeys(*keys, ctrlAltD));
    EXPECT_EQ((std::vector<std::uint32_t>{42, 54, 125, 126}), shortcutModifierKeys(*keys, winShiftD));
  }
  EXPECT_FALSE(findPasteKeys("xkb_keymap { nonsense"));
}

TEST(WaylandRoutes, ChosenInOrderAndWhatIsSaidWithoutOne) {
  struct Row {
    const char* desktop;
    std::vector<std::string> globals;
    Route route;
    std::vector<std::string> missing;  // for kX11: what the message names
  };
  const Row rows[] = {
      {"sway 1.7",
       {"wl_shm", "wl_compositor", "wl_data_device_manager", "zwlr_foreign_toplevel_manager_v1",
        "zwlr_data_control_manager_v1", "xdg_activation_v1", "zwp_virtual_keyboard_manager_v1",
        "zwlr_virtual_pointer_manager_v1", "wl_seat"},
       Route::kWlroots,
       {}},
      {"GNOME",
       {"wl_compositor", "wl_seat", "wl_data_device_manager", "xdg_wm_base", "gtk_shell1", "xdg_activation_v1"},
       Route::kX11,
       {"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1"}},
      {"KDE Plasma 5.27, installed program",
       {"wl_compositor", "wl_seat", "org_kde_plasma_shell", "org_kde_plasma_virtual_desktop_management",
        "zwlr_data_control_manager_v1", "org_kde_plasma_window_management", "org_kde_kwin_fake_input"},
       Route::kKwin,
       {}},
      {"KDE Plasma 5.27, program not installed",
       {"wl_compositor", "wl_seat", "org_kde_plasma_shell", "org_kde_plasma_virtual_desktop_management",
        "zwlr_data_control_manager_v1", "org_kde_kwin_server_decoration_manager"},
       Route::kKwinNotGranted,
       {}},
      {"wlroots and KWin's interfaces both",
       {"wl_seat", "zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1",
        "org_kde_plasma_window_management", "org_kde_kwin_fake_input"},
       Route::kWlroots,
       {}},
      {"KDE's server decorations alone (sway offers them too)",
       {"wl_seat", "org_kde_kwin_server_decoration_manager"},
       Route::kX11,
       {"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1"}},
      {"toplevels without a virtual keyboard",
       {"wl_seat", "zwlr_foreign_toplevel_manager_v1"},
       Route::kX11,
       {"zwp_virtual_keyboard_manager_v1"}},
      {"no seat",
       {"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1", "org_kde_plasma_window_management",
        "org_kde_kwin_fake_input"},
       Route::kX11,
       {"wl_seat"}},
  };
  const std::vector<std::string> all{"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1", "wl_seat"};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.desktop);
    EXPECT_EQ(row.route, chooseRoute(row.globals));
    if (row.route != Route::kX11) continue;
    const std::string message = shortfall(row.globals);
    for (const std::string& name : all) {
      const bool missing = std::find(row.missing.begin(), row.missing.end(), name) != row.missing.end();
      EXPECT_EQ(missing, message.find(name) != std::string::npos) << name << " in: " << message;
    }
    EXPECT_NE(std::string::npos, message.find("X11")) << "what still works: " << message;
    EXPECT_EQ('\n', message.back());
  }
}

// Qt's own reading of the same shortcut is the reference: one row per kind of key, and every
// modifier, Win being Qt's Meta.
TEST(KdeShortcut, KeyCodesAreQtsOwn) {
  const std::pair<const char*, const char*> rows[] = {{"Ctrl+Alt+D", "Ctrl+Alt+D"},
                                                      {"win+shift+7", "Meta+Shift+7"},
                                                      {"Alt+F1", "Alt+F1"},
                                                      {"Ctrl+F24", "Ctrl+F24"},
                                                      {"Ctrl+Space", "Ctrl+Space"},
                                                      {"Ctrl+Insert", "Ctrl+Ins"},
                                                      {"Ctrl+Delete", "Ctrl+Del"},
                                                      {"Alt+Home", "Alt+Home"},
                                                      {"Alt+End", "Alt+End"},
                                                      {"Ctrl+PageUp", "Ctrl+PgUp"},
                                                      {"Ctrl+PageDown", "Ctrl+PgDown"},
                                                      {"Ctrl+Alt+Shift+Win+0", "Ctrl+Alt+Shift+Meta+0"}};
  for (const auto& [ours, qts] : rows) {
    std::string problem;
    const auto shortcut = parseShortcut(ours, problem);
    ASSERT_TRUE(shortcut) << ours << ": " << problem;
    const QKeySequence reference = QKeySequence::fromString(qts, QKeySequence::PortableText);
    ASSERT_EQ(1, reference.count()) << qts;
    EXPECT_EQ(reference[0].toCombined(), qtKeyCode(*shortcut)) << ours;
  }
}

TEST(WaylandWindowIds, NoX11WindowLooksNative) {
  for (const WindowId x11 : {WindowId{1}, WindowId{0x600009}, WindowId{0x1fffffff}, WindowId{0xffffffff}})
    EXPECT_FALSE(isNativeWindow(x11)) << x11;
  EXPECT_TRUE(isNativeWindow(kNativeWindowBit | 1));
}

}  // namespace
}  // namespace kelvado::wayland
