// The paste shortcut a user may set in the settings file ([hotkey] paste=Ctrl+Alt+D).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvado {

struct Shortcut {
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
  bool win = false;
  // "A".."Z", "0".."9", "F1".."F24", or one of Space, Insert, Delete, Home, End, PageUp, PageDown.
  std::string key;

  // As the user would write it, modifiers first: "Ctrl+Alt+D".
  std::string text() const;
  friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

// Parses "Ctrl+Alt+D": the modifiers Ctrl, Alt, Shift and Win, each at most once and in any
// order, then one key, names in any case, blanks around the parts allowed. At least one of Ctrl,
// Alt and Win is needed, since a key with Shift alone or nothing is one the user types. On a
// name it does not know, returns nullopt and says why in `problem` (Japanese, for the user).
std::optional<Shortcut> parseShortcut(std::string_view text, std::string& problem);

}  // namespace kelvado
