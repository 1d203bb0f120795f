// The shortcut as the shell's accelerators spell it. Every key name the settings file takes was
// grabbed in GNOME Shell 43 under these spellings (F13 to F24 excepted: the default keymap has no
// key for them, so the shell refuses them).
#include <gtest/gtest.h>

#include "platform/gnome/gnome_platform.h"
#include "shortcut.h"

namespace kelvado {
namespace {

TEST(GnomeAccelerator, ModifiersInTheShellsNamesAndTheKeysKeysym) {
  const struct {
    const char* written;
    const char* accelerator;
  } cases[] = {
      {"Ctrl+Alt+D", "<Control><Alt>d"},
      {"win+shift+alt+ctrl+z", "<Control><Alt><Shift><Super>z"},
      {"Ctrl+0", "<Control>0"},
      {"Alt+F12", "<Alt>F12"},
      {"Ctrl+Alt+Space", "<Control><Alt>space"},
      {"Win+PageUp", "<Super>Page_Up"},
      {"Ctrl+PageDown", "<Control>Page_Down"},
      {"Ctrl+Insert", "<Control>Insert"},
      {"Ctrl+Delete", "<Control>Delete"},
      {"Alt+Home", "<Alt>Home"},
      {"Alt+End", "<Alt>End"},
  };
  for (const auto& c : cases) {
    std::string problem;
    const auto shortcut = parseShortcut(c.written, problem);
    ASSERT_TRUE(shortcut) << c.written << ": " << problem;
    EXPECT_EQ(gnomeAccelerator(*shortcut), c.accelerator) << c.written;
  }
}

}  // namespace
}  // namespace kelvado
