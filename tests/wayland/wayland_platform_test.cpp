// The Wayland platform's parts that need no compositor: the keymap its virtual keyboard
// uploads, what it says on a compositor that lacks what pasting into native windows needs, and
// the X11 platform kept as it is where there is no compositor to talk to.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "platform/wayland/wayland_platform.h"
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
  EXPECT_EQ(XKB_KEY_Control_L, xkb_state_key_get_one_sym(state.get(), keymap->control + kEvdevOffset));
  xkb_state_update_mask(state.get(), keymap->controlMask, 0, 0, 0, 0, 0);
  EXPECT_EQ(1, xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE));
  EXPECT_EQ(0, xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE));
  EXPECT_EQ(XKB_KEY_v, xkb_state_key_get_one_sym(state.get(), keymap->v + kEvdevOffset));
}

TEST(WaylandShortfall, SaysWhatIsMissingAndWhatStillWorks) {
  struct Row {
    const char* desktop;
    std::vector<std::string> globals;
    std::vector<std::string> missing;  // empty: nothing to say
  };
  const Row rows[] = {
      {"sway 1.7",
       {"wl_shm", "wl_compositor", "wl_data_device_manager", "zwlr_foreign_toplevel_manager_v1",
        "zwlr_data_control_manager_v1", "xdg_activation_v1", "zwp_virtual_keyboard_manager_v1",
        "zwlr_virtual_pointer_manager_v1", "wl_seat"},
       {}},
      {"GNOME",
       {"wl_compositor", "wl_seat", "wl_data_device_manager", "xdg_wm_base", "gtk_shell1", "xdg_activation_v1"},
       {"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1"}},
      {"KDE Plasma",
       {"wl_compositor", "wl_seat", "org_kde_plasma_window_management", "org_kde_kwin_fake_input",
        "zwp_input_method_manager_v2"},
       {"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1"}},
      {"toplevels without a virtual keyboard",
       {"wl_seat", "zwlr_foreign_toplevel_manager_v1"},
       {"zwp_virtual_keyboard_manager_v1"}},
      {"no seat", {"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1"}, {"wl_seat"}},
  };
  const std::vector<std::string> all{"zwlr_foreign_toplevel_manager_v1", "zwp_virtual_keyboard_manager_v1", "wl_seat"};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.desktop);
    const std::string message = shortfall(row.globals);
    if (row.missing.empty()) {
      EXPECT_EQ("", message);
      continue;
    }
    for (const std::string& name : all) {
      const bool missing = std::find(row.missing.begin(), row.missing.end(), name) != row.missing.end();
      EXPECT_EQ(missing, message.find(name) != std::string::npos) << name << " in: " << message;
    }
    EXPECT_NE(std::string::npos, message.find("X11")) << "what still works: " << message;
    EXPECT_EQ('\n', message.back());
  }
}

TEST(WaylandWindowIds, NoX11WindowLooksNative) {
  for (const WindowId x11 : {WindowId{1}, WindowId{0x600009}, WindowId{0x1fffffff}, WindowId{0xffffffff}})
    EXPECT_FALSE(isNativeWindow(x11)) << x11;
  EXPECT_TRUE(isNativeWindow(kNativeWindowBit | 1));
}

TEST(WaylandFallback, WithoutACompositorTheX11PlatformServesAlone) {
  for (const char* display : {static_cast<const char*>(nullptr), "", "kelvado-test-no-such-compositor"}) {
    SCOPED_TRACE(display ? display : "WAYLAND_DISPLAY unset");
    if (display)
      setenv("WAYLAND_DISPLAY", display, 1);
    else
      unsetenv("WAYLAND_DISPLAY");
    auto x11 = std::make_unique<fake::FakePlatform>();
    const Platform* given = x11.get();
    EXPECT_EQ(given, makeWaylandPlatform(std::move(x11)).get());
  }
}

}  // namespace
}  // namespace kelvado::wayland
