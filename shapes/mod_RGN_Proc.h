// The shape table and the one way the game shapes its sprite windows.
#pragma once

#include <cstdint>

namespace marivo {

class Game;
class Form;

// Fills slots 0..59 of the shape table from the constant shape data.
void BuildShapeTable(Game& game);

// Gives `window` the outline stored in `slot`. A failure shows its message
// and ends the program.
void ApplyShape(Game& game, std::int32_t slot, Form& window);

}  // namespace marivo
