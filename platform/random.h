// The game's random numbers: a 24-bit linear congruential generator, so a
// draw has exactly single-precision resolution in [0, 1).
#pragma once

#include <cstdint>

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

}  // namespace marivo
