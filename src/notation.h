// How a date is written: the six notation fields, the rendering and the weekday label.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvado {

struct NotationSettings {
  std::int32_t hyoki1 = 0;  // year: none, two digits, four digits
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

// The date text without the weekday label. Values outside a field's choices write nothing.
std::string nengappi2moj(int year, int month, int day, const NotationSettings& notation);

// The weekday label such as "(月)", by the day-of-week congruence; "(？？)" when it falls outside.
std::string youbikeisan(std::int32_t year, std::int32_t month, std::int32_t day);

}  // namespace kelvado
