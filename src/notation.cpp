#include "notation.h"

#include <string_view>

namespace kelvado {

namespace {

constexpr std::int32_t NotationSettings::*kFields[NotationSettings::kFieldCount] = {
    &NotationSettings::hyoki1, &NotationSettings::hyoki2, &NotationSettings::hyoki3,
    &NotationSettings::hyoki4, &NotationSettings::hyoki5, &NotationSettings::hyoki6};

template <std::size_t N>
std::string_view pick(const std::array<std::string_view, N>& choices, std::int32_t value) {
  if (value < 0 || static_cast<std::size_t>(value) >= N) return {};
  return choices[static_cast<std::size_t>(value)];
}

std::string padded(const std::string& text) { return text.size() == 1 ? "0" + text : text; }

// The era of a date and the year within it, counted from 1; null before the first era.
const Era* eraOf(int year, int month, int day, int& eraYear) {
  const auto startsBy = [&](const Era& e) {
    return e.year < year || (e.year == year && (e.month < month || (e.month == month && e.day <= day)));
  };
  const Era* found = nullptr;
  for (const Era& e : kEras)
    if (startsBy(e)) found = &e;
  if (found) eraYear = year - found->year + 1;
  return found;
}

}  // namespace

std::int32_t& NotationSettings::field(int position) { return this->*kFields[position - 1]; }
std::int32_t NotationSettings::field(int position) const { return this->*kFields[position - 1]; }

std::string nengappi2moj(int year, int month, int day, const NotationSettings& n) {
  const std::string year4 = std::to_string(year);
  // Cut on the text, not the number, so that 2003 gives "03".
  const std::string year2 = year4.size() > 2 ? year4.substr(2) : std::string();
  const std::string month1 = std::to_string(month);
  const std::string day1 = std::to_string(day);
  const std::string month2 = padded(month1);
  const std::string day2 = padded(day1);

  int eraYear = 0;
  const Era* era = eraOf(year, month, day, eraYear);
  // Forms write the first year of an era as 元 (令和元年), and its initial with the number (R1).
  const std::string eraName = era ? std::string(era->name) + (eraYear == 1 ? "元" : std::to_string(eraYear)) : year4;
  const std::string eraInitial = era ? std::string(era->initial) + std::to_string(eraYear) : year4;

  std::string text;
  text += pick(std::array<std::string_view, 5>{"", year2, year4, eraName, eraInitial}, n.hyoki1);
  text += pick(std::array<std::string_view, 5>{"", "年", "/", "-", "."}, n.hyoki2);
  text += pick(std::array<std::string_view, 2>{month1, month2}, n.hyoki3);
  text += pick(std::array<std::string_view, 4>{"月", "/", "-", "."}, n.hyoki4);
  text += pick(std::array<std::string_view, 2>{day1, day2}, n.hyoki5);
  text += pick(std::array<std::string_view, 2>{"", "日"}, n.hyoki6);
  return text;
}

std::string youbikeisan(std::int32_t y, std::int32_t m, std::int32_t d) {
  static constexpr std::array<std::string_view, 7> kLabels = {"(日)", "(月)", "(火)", "(水)", "(木)", "(金)", "(土)"};
  // Signed 32-bit arithmetic that wraps instead of overflowing: C++20 defines the conversion
  // back from unsigned, and division and remainder already truncate toward zero.
  const auto wrap = [](std::uint32_t v) { return static_cast<std::int32_t>(v); };
  const auto u = [](std::int32_t v) { return static_cast<std::uint32_t>(v); };
  if (m <= 2) {
    y = wrap(u(y) - 1u);
    m += 12;
  }
  const std::int32_t monthTerm = wrap(13u * u(m) + 8u) / 5;
  const std::int32_t sum = wrap(u(y) + u(y / 4) - u(y / 100) + u(y / 400) + u(monthTerm) + u(d));
  const std::int32_t index = sum % 7;
  if (index < 0 || index > 6) return "(？？)";
  return std::string(kLabels[static_cast<std::size_t>(index)]);
}

}  // namespace kelvado
