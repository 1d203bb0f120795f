#include "shortcut.h"

#include <algorithm>
#include <array>

namespace kelvado {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}

constexpr std::array<std::string_view, 7> kNamedKeys{"Space", "Insert", "Delete", "Home", "End", "PageUp", "PageDown"};

// The key's name as this program spells it, or empty for a name it does not know.
std::string keyName(std::string_view name) {
  const std::string u = upper(name);
  if (u.size() == 1 && ((u[0] >= 'A' && u[0] <= 'Z') || (u[0] >= '0' && u[0] <= '9'))) return u;
  if (u.size() >= 2 && u.size() <= 3 && u[0] == 'F' &&
      std::all_of(u.begin() + 1, u.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int n = std::stoi(u.substr(1));
    if (n >= 1 && n <= 24 && u[1] != '0') return u;
  }
  for (std::string_view named : kNamedKeys)
    if (upper(named) == u) return std::string(named);
  return {};
}

}  // namespace

std::string Shortcut::text() const {
  std::string t;
  if (ctrl) t += "Ctrl+";
  if (alt) t += "Alt+";
  if (shift) t += "Shift+";
  if (win) t += "Win+";
  return t + key;
}

std::optional<Shortcut> parseShortcut(std::string_view text, std::string& problem) {
  // The key comes last: nothing after the last "+" (or at all) is a missing key.
  if (trim(text.substr(text.rfind('+') + 1)).empty()) {
    problem = "キーがありません";
    return std::nullopt;
  }
  Shortcut s;
  std::string_view rest = text;
  for (;;) {
    const std::size_t plus = rest.find('+');
    const std::string_view part = trim(rest.substr(0, plus));
    if (plus == std::string_view::npos) {
      s.key = keyName(part);
      if (s.key.empty()) {
        problem = "「" + std::string(part) + "」というキーはありません";
        return std::nullopt;
      }
      break;
    }
    const std::string name = upper(part);
    bool* modifier = name == "CTRL"    ? &s.ctrl
                     : name == "ALT"   ? &s.alt
                     : name == "SHIFT" ? &s.shift
                     : name == "WIN"   ? &s.win
                                       : nullptr;
    if (modifier == nullptr || *modifier) {
      problem = part.empty() ? std::string("「+」の前にキーの名前がありません")
                             : "「" + std::string(part) + "」というキーはここに使えません";
      return std::nullopt;
    }
    *modifier = true;
    rest.remove_prefix(plus + 1);
  }
  if (!s.ctrl && !s.alt && !s.win) {
    problem = "Ctrl・Alt・Win のどれかと組み合わせてください";
    return std::nullopt;
  }
  return s;
}

}  // namespace kelvado
