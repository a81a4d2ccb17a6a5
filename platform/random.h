// The game's random numbers: a 24-bit linear congruential generator, so a
// draw has exactly single-precision resolution in [0, 1).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace marivo {

class LcgRandom {
 public:
  explicit LcgRandom(std::uint32_t seed = 0x50000) : state_(seed & 0xFFFFFF) {}
  float Next() {
    state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFFu;
    return static_cast<float>(state_) / 16777216.0f;
  }
  void Seed(std::uint32_t seed) { state_ = (seed ^ (seed >> 8)) & 0xFFFFFFu; }

 private:
  std::uint32_t state_;
};

// Test-only: the end-to-end checks set MARIVO2_TEST_SEED to a whole number
// so that every reseed of the desktop programs gives the same draws and a
// check knows what a landing catches. Anything but plain digits is ignored.
inline std::optional<std::uint32_t> TestSeedFrom(const char* text) {
  if (text == nullptr || *text < '0' || *text > '9') return std::nullopt;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (*end != '\0' || value > 0xFFFFFFFFul) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace marivo
