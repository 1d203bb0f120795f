// How a date is written: the six notation fields, the rendering and the weekday label.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvado {

struct NotationSettings {
  std::int32_t hyoki1 = 0;  // year: none, two digits, four digits, era name, era initial
  std::int32_t hyoki2 = 0;  // text after the year
  std::int32_t hyoki3 = 0;  // month: plain or padded
  std::int32_t hyoki4 = 0;  // text after the month
  std::int32_t hyoki5 = 0;  // day: plain or padded
  std::int32_t hyoki6 = 0;  // text after the day

  static constexpr int kFieldCount = 6;
  // Field by position 1..6, in the order of the pattern codes and the dialog's lists.
  std::int32_t& field(int position);
  std::int32_t field(int position) const;

  friend bool operator==(const NotationSettings&, const NotationSettings&) = default;
};

// The notation a missing settings key falls back to: 2003年04月07日.
inline constexpr NotationSettings kDefaultNotation{2, 1, 1, 0, 1, 1};

// A Japanese era: its name, the initial forms use for it, and its first day.
struct Era {
  std::string_view name;
  std::string_view initial;
  int year, month, day;
};

// The eras from the calendar reform on, oldest first. A new era is one more row at the end; the
// era year choices then write it from its first day on.
inline constexpr Era kEras[] = {
    {"明治", "M", 1868, 1, 1}, {"大正", "T", 1912, 7, 30}, {"昭和", "S", 1926, 12, 25},
    {"平成", "H", 1989, 1, 8}, {"令和", "R", 2019, 5, 1},
};

// The date text without the weekday label. Values outside a field's choices write nothing. The
// era year choices write the four-digit year for a date before the first era.
std::string nengappi2moj(int year, int month, int day, const NotationSettings& notation);

// The weekday label such as "(月)", by the day-of-week congruence; "(？？)" when it falls outside.
std::string youbikeisan(std::int32_t year, std::int32_t month, std::int32_t day);

}  // namespace kelvado
