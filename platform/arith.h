// The game's arithmetic, in one place.
//
// The game logic was designed around a handful of exact numeric rules:
// every conversion of a number to a whole number rounds to the nearest,
// a half going to the even neighbour; Floor is the mathematical floor;
// `a div b` rounds both operands that way first and then truncates the
// quotient toward zero. Every module uses these helpers and nothing else.
#pragma once

#include <cmath>
#include <cstdint>

namespace marivo {

// Flags of the game state hold -1 (set) or 0 (clear).
using Flag = std::int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

// Nearest whole number, a half going to the even neighbour.
inline double NearestValue(double x) {
  return std::nearbyint(x);
}

// Nearest, narrowed to a 32-bit whole number (saturating at the range ends).
inline std::int32_t Nearest(double x) {
  const double r = std::nearbyint(x);
  if (!(r >= -2147483648.0)) return INT32_MIN;  // also catches NaN
  if (r > 2147483647.0) return INT32_MAX;
  return static_cast<std::int32_t>(r);
}

// Nearest, narrowed to a 16-bit whole number (saturating).
inline std::int16_t Nearest16(double x) {
  const double r = std::nearbyint(x);
  if (!(r >= -32768.0)) return INT16_MIN;
  if (r > 32767.0) return INT16_MAX;
  return static_cast<std::int16_t>(r);
}

// The largest whole number not greater than x.
inline std::int32_t Floor(double x) {
  return Nearest(std::floor(x));
}

// Nearest whole number with a half going up (1.5 to 2, 2.5 to 3): how a
// desktop's scale factor is made whole, as Qt rounds a screen's own factor.
// Not for the game's arithmetic, where a half goes to the even neighbour.
inline std::int32_t NearestHalfUp(double x) {
  return Floor(x + 0.5);
}

// Integer division: both operands rounded with Nearest, quotient truncated
// toward zero. A zero divisor yields 0 rather than trapping.
inline std::int32_t Div(double a, double b) {
  const std::int64_t na = Nearest(a);
  const std::int64_t nb = Nearest(b);
  if (nb == 0) return 0;
  return static_cast<std::int32_t>(na / nb);
}

// Milliseconds from `start` to `now` on a 32-bit tick counter that wraps.
inline std::uint32_t TicksSince(std::uint32_t start, std::uint32_t now) {
  return now - start;
}

}  // namespace marivo

namespace marivo {

// A 64-bit fixed-point count with four decimal places, as the game keeps
// elapsed milliseconds of a bite.
class Fixed4 {
 public:
  constexpr Fixed4() = default;
  static Fixed4 FromDouble(double value) {
    Fixed4 f;
    f.raw_ = static_cast<std::int64_t>(std::nearbyint(value * 10000.0));
    return f;
  }
  double Value() const { return static_cast<double>(raw_) / 10000.0; }
  friend bool operator==(Fixed4 a, Fixed4 b) { return a.raw_ == b.raw_; }
  friend bool operator!=(Fixed4 a, Fixed4 b) { return a.raw_ != b.raw_; }

 private:
  std::int64_t raw_ = 0;
};

}  // namespace marivo
