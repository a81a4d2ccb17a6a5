// How long the pump may sleep until the game's next timer. Free of <windows.h>, so that it is
// tested on every build machine.
#pragma once

#include <cstdint>
#include <optional>

namespace marivo::win32 {

// How long the pump may sleep, in milliseconds: until `deadline` on the
// wrapping tick counter, 0 when it has passed, kForever without one.
inline constexpr std::uint32_t kForever = 0xFFFFFFFFu;
std::uint32_t SleepFor(std::optional<std::uint32_t> deadline, std::uint32_t now);

}  // namespace marivo::win32
