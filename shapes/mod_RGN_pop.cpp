#include "shapes/mod_RGN_pop.h"

#include "scene/game.h"

namespace marivo {

// Stand-in for the moment; the lead is writing the balloon.
void ShowBalloon(Game&, std::string_view, double, double, int) {}
void BuildBalloonShapes(Game&) {}
void ApplyBalloonShape(Game&, std::int32_t, Form&) {}

}  // namespace marivo
