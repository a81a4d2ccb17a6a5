// The speech balloon: three borderless windows side by side, the centre
// piece carrying the text, the caps cut to their rounded outline. Hiding
// the balloon is the caller's job: it unloads frmL, frmC and frmR.
#pragma once

#include <cstdint>
#include <string_view>

namespace marivo {

class Game;
class Form;

// Shows `text` in a balloon anchored at (x, y) twips; side 0 puts the tail
// on the left cap and extends to the right, side 1 the other way.
void ShowBalloon(Game& game, std::string_view text, double x, double y, int side);

// Fills entries 0..3 of the balloon's shape table.
void BuildBalloonShapes(Game& game);

// ApplyShape over the balloon's table, entries 0..4.
void ApplyBalloonShape(Game& game, std::int32_t entry, Form& window);

}  // namespace marivo
