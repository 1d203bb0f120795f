// Basic value types shared by the core, the backends and the platform layer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace kelvado {

// A platform window identifier; 0 means "no window".
using WindowId = std::uint64_t;

// Colours in the classic $00BBGGRR layout; values with the top bit set name system colours.
using TColor = std::int32_t;

namespace colors {
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000F);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008);
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005);
}  // namespace colors

enum class MouseButton { Left, Right, Middle };

struct ShiftState {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

// A local calendar date with a time of day, as the date picker holds it.
struct LocalDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A monitor's full bounds, edges in screen coordinates.
struct MonitorRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const MonitorRect&, const MonitorRect&) = default;
};

// The error a handler raises when the default error display is the intended outcome.
// The message is UTF-8. The detail, when there is one, says in the system's words what went
// wrong; the error display shows the message alone, a report without a box both.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message, std::string detail = {})
      : std::runtime_error(message), detail_(std::move(detail)) {}
  const std::string& detail() const { return detail_; }

 private:
  std::string detail_;
};

}  // namespace kelvado
