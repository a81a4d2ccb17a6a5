// The landing: the angler swings back and the catch comes up.
#include "scene/game.h"
#include "scene/mod_Subroutine.h"

namespace marivo {

// Stand-in until the fishing cycle lands.
void LandCatch(Game&, Flag&) {}

}  // namespace marivo
