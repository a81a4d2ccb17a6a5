// The game's shared routines: the pumping wait, the top-most request, the
// cast flight, the fight and the landing.
#pragma once

#include <cstdint>

#include "platform/arith.h"

namespace marivo {

class Game;
class Form;

// Waits at least `ms` milliseconds while running every event that comes.
void WaitMs(Game& game, float ms);

// Carries the request to put the control bar in the top-most band; the
// switch that would issue it is off. Always returns 0.
Flag MakeTopMost(Game& game, std::uintptr_t hWnd);

}  // namespace marivo
