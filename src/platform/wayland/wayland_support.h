// The parts of the Wayland platform that need no compositor: which route a compositor's globals
// allow, the window ids of its windows, and the keymaps the keys are found in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/types.h"
#include "shortcut.h"

namespace kelvado::wayland {

// Native Wayland windows get ids above every X11 window id (X ids have 29 bits), so both kinds
// share the core's one id type and never collide.
inline constexpr WindowId kNativeWindowBit = WindowId{1} << 32;
constexpr bool isNativeWindow(WindowId id) { return (id & kNativeWindowBit) != 0; }

// How pastes reach other programs on this compositor, in the order of choice.
enum class Route {
  kWlroots,         // foreign toplevels and a virtual keyboard (sway and its kin)
  kKwin,            // KWin's window management and fake input
  kKwinNotGranted,  // KWin, which grants those only to an installed program
  kX11,             // nothing of the compositor's: X11 programs only
};
Route chooseRoute(const std::vector<std::string>& globals);

// For kX11: the one message for standard error, saying what works on this desktop and what not.
std::string shortfall(const std::vector<std::string>& globals);

// For kKwinNotGranted: what is missing and what to do, as the program shows it.
extern const char* const kKwinNotGranted;

// Where Control_L and v are in a keymap (XKB text format v1): evdev key codes, as fake input and
// the virtual keyboard send them. Empty when the text does not compile or lacks either key.
struct PasteKeys {
  std::uint32_t control = 0;
  std::uint32_t v = 0;
  // The keys that give each modifier, left and right where the layout has both (where AltGr
  // takes the right Alt's place, only the left).
  std::vector<std::uint32_t> ctrl, alt, shift, win;
};
std::optional<PasteKeys> findPasteKeys(std::string_view keymapText);

// The keys of the shortcut's modifiers, to let go of before the paste's own keys go out.
std::vector<std::uint32_t> shortcutModifierKeys(const PasteKeys& keys, const Shortcut& shortcut);

// The shortcut as one Qt key code with its modifiers (Win is Qt's Meta), as KDE's global
// shortcuts service takes it; 0 for a key this does not know.
int qtKeyCode(const Shortcut& shortcut);

// An XKB keymap with Control and v, as the virtual keyboard uploads it, and what its keys are.
struct Keymap {
  std::string text;  // XKB text format v1, NUL-terminated as the protocol wants
  PasteKeys keys;
  std::uint32_t controlMask = 0;  // Control in the keymap's modifier mask
};
// Empty when libxkbcommon cannot build a US keymap (its data is missing).
std::optional<Keymap> makeKeymap();

}  // namespace kelvado::wayland
