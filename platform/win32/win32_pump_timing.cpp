#include "platform/win32/win32_pump_timing.h"

namespace marivo::win32 {

std::uint32_t SleepFor(std::optional<std::uint32_t> deadline, std::uint32_t now) {
  if (!deadline) return kForever;
  const std::uint32_t ahead = *deadline - now;
  // More than half the counter ahead means the deadline has passed.
  if (ahead == 0 || ahead > 0x7FFFFFFFu) return 0;
  return ahead;
}

}  // namespace marivo::win32
