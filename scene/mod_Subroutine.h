// The game's shared routines: the pumping wait, the top-most request, the
// cast flight, the fight and the landing.
#pragma once

#include <cstdint>

#include "platform/arith.h"

namespace marivo {

class Game;
class Form;

// Places the control bar, the angler and the sea strip on the usable
// bottom edge of the screen, computing ScreenBottom afresh. Start-up does
// it once; a change of the screen does it again.
void LayOutScene(Game& game);

// Waits at least `ms` milliseconds while running every event that comes.
void WaitMs(Game& game, float ms);

// Carries the request to put the control bar in the top-most band; the
// switch that would issue it is off. Always returns 0.
Flag MakeTopMost(Game& game, std::uintptr_t hWnd);

// The float's flight after a cast: start speeds in twips per step.
void FlyFloat(Game& game, std::int32_t vx, std::int32_t vy);
// One step of the flight; false once the float has landed on the sea.
bool FlightStep(Game& game, Form& window);

// The fight after a successful strike, run from the control bar's Timer3.
void FishFight(Game& game);

// Ends every cast that is reeled in all the way; WithCatch: a fish is on.
void LandCatch(Game& game, Flag& WithCatch);

}  // namespace marivo
