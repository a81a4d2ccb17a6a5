#include "scene/mod_Subroutine.h"

#include <cmath>

#include "scene/game.h"

namespace marivo {

void WaitMs(Game& game, float ms) {
  Platform& p = game.platform;
  const std::uint32_t start = p.TickCount();
  std::uint32_t now = p.TickCount();
  if (!(ms > 0)) return;
  // The deadline the pump may sleep until; the elapsed time is taken
  // modulo 2^32, so a wrap of the tick count does not disturb it.
  const std::uint32_t deadline = start + static_cast<std::uint32_t>(std::ceil(double(ms)));
  while (double(TicksSince(start, now)) < double(ms)) {
    p.PumpUntil(deadline);
    now = p.TickCount();
  }
}

Flag MakeTopMost(Game& game, std::uintptr_t hWnd) {
  // Keeping the bar above other windows is deliberately off: the scene is
  // meant to sit on the desktop like the icons, not over the user's work.
  constexpr bool kKeepBarOnTop = false;
  if (kKeepBarOnTop && hWnd != 0) game.frmCon.SetTopMost();
  return kFalse;
}

}  // namespace marivo
