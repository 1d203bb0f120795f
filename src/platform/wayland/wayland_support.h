// The parts of the Wayland platform that need no compositor: what a compositor must offer, the
// window ids of its toplevels, and the virtual keyboard's keymap.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/types.h"

namespace kelvado::wayland {

// Native Wayland windows get ids above every X11 window id (X ids have 29 bits), so both kinds
// share the core's one id type and never collide.
inline constexpr WindowId kNativeWindowBit = WindowId{1} << 32;
constexpr bool isNativeWindow(WindowId id) { return (id & kNativeWindowBit) != 0; }

// Empty when the compositor's globals include all that pasting into native windows needs;
// otherwise the one message for standard error, saying what works on this desktop and what not.
std::string shortfall(const std::vector<std::string>& globals);

// An XKB keymap with Control and v, as the virtual keyboard uploads it, and what its keys are.
struct Keymap {
  std::string text;           // XKB text format v1, NUL-terminated as the protocol wants
  std::uint32_t control = 0;  // evdev key codes, as the virtual keyboard sends them
  std::uint32_t v = 0;
  std::uint32_t controlMask = 0;  // Control in the keymap's modifier mask
};
// Empty when libxkbcommon cannot build a US keymap (its data is missing).
std::optional<Keymap> makeKeymap();

}  // namespace kelvado::wayland
