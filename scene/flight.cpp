// The cast's flight: a plain ballistic step per 10 ms.
#include "scene/game.h"
#include "scene/mod_Subroutine.h"

namespace marivo {

// Stand-in until the casting work lands.
void FlyFloat(Game&, std::int32_t, std::int32_t) {}
bool FlightStep(Game&, Form&) { return false; }

}  // namespace marivo
