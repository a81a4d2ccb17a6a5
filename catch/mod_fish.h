// The 45 kinds that can come up on the hook, and the weighted choice of
// the one that does: forty sea creatures (0 to 39) that make up the
// collection, and five joke catches (40 to 44).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marivo {

class Game;

struct FishInfo {
  std::string_view Name;    // as shown to the player
  std::int32_t NearWeight;  // weight of a hook at x = 0
  std::int32_t FarWeight;   // weight of a hook at x = range
};

inline constexpr int kFishKinds = 45;
inline constexpr int kCreatureKinds = 40;  // the ones the collection counts

// The kind's name; throws std::out_of_range outside 0 to 44.
std::string FishName(std::int32_t index);
// The kind's catalogue entry; throws std::out_of_range outside 0 to 44.
const FishInfo& FishData(std::int32_t index);

// The kind caught by a hook at `x` twips on a sea `range` twips wide: the
// weights follow the straight line from the near weight at 0 to the far
// weight at range, and one draw picks a kind by them. Always 0 to 44.
std::int32_t ChooseFish(Game& game, std::int32_t& range, std::int32_t& x);

// The choice for a given draw in [0, 1), without the game; what ChooseFish
// does with the draw it takes.
std::int32_t ChooseFishWithDraw(std::int32_t range, std::int32_t x, float draw);

}  // namespace marivo
