// The fight: hold on blue, let go on red.
#include "scene/game.h"
#include "scene/mod_Subroutine.h"

namespace marivo {

// Stand-in until the fishing cycle lands.
void FishFight(Game&) {}

}  // namespace marivo
