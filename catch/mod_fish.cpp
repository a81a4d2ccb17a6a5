#include "catch/mod_fish.h"

#include <array>
#include <stdexcept>

#include "platform/arith.h"
#include "scene/game.h"

namespace marivo {
namespace {

constexpr std::array<FishInfo, kFishKinds> kCatalogue = {{
    {"かわはぎ", 100, 1},   {"きんめだい", 50, 50},
    {"かさご", 70, 30},     {"おびあなはぜ", 90, 5},
    {"かれい", 80, 20},     {"ふぐ", 90, 1},
    {"さば", 95, 5},        {"いしだい", 20, 80},
    {"めじな", 80, 10},     {"たい", 40, 60},
    {"いか", 1, 90},        {"たこ", 10, 10},
    {"かに", 90, 1},        {"あら", 90, 70},
    {"ぼら", 60, 5},        {"ぶり", 90, 100},
    {"はた", 80, 90},       {"はぜ", 10, 10},
    {"ひいらぎ", 1, 10},    {"ほっけ", 90, 40},
    {"いわし", 90, 10},     {"かます", 80, 20},
    {"かんぱち", 10, 90},   {"かつお", 4, 100},
    {"きす", 90, 2},        {"くえ", 1, 100},
    {"くろだい", 20, 80},   {"まぐろ", 1, 120},
    {"めばる", 70, 30},     {"むつ", 10, 90},
    {"おきえそ", 1, 130},   {"おにおこぜ", 70, 30},
    {"さわら", 90, 10},     {"さより", 95, 5},
    {"しまあじ", 80, 15},   {"すずき", 90, 10},
    {"たちうお", 95, 5},    {"たら", 40, 60},
    {"とらぎす", 80, 20},   {"うに", 90, 1},
    {"ながぐつ", 100, 100}, {"ばけつ", 100, 100},
    {"あきかん", 100, 100}, {"あじのひらき", 100, 100},
    {"たいやき", 100, 100},
}};

}  // namespace

const FishInfo& FishData(std::int32_t index) {
  if (index < 0 || index >= kFishKinds) throw std::out_of_range("no such catch kind");
  return kCatalogue[static_cast<std::size_t>(index)];
}

std::string FishName(std::int32_t index) {
  return std::string(FishData(index).Name);
}

std::int32_t ChooseFishWithDraw(std::int32_t range, std::int32_t x, float draw) {
  std::array<double, kFishKinds> weight{};
  double total = 0;
  for (int i = 0; i < kFishKinds; ++i) {
    const FishInfo& f = FishData(i);
    if (range == 0) {
      // No sea to measure along: the near weights.
      weight[i] = f.NearWeight;
    } else {
      // Exactly this order: the difference over the range, times x, plus near.
      weight[i] = double(f.FarWeight - f.NearWeight) / double(range) * double(x) + f.NearWeight;
    }
    total += weight[i];
  }
  const std::int32_t r = Nearest(total * double(draw));
  double sum = 0;
  for (int i = 0; i < kFishKinds; ++i) {
    sum += weight[i];
    if (double(r) <= sum) return i;
  }
  // The rounded draw passed the total (its fraction was above one half):
  // the fish that was fought is still landed, as the last kind that can be
  // caught at all. The joke catches always weigh 100, so there is one.
  for (int i = kFishKinds - 1; i >= 0; --i) {
    if (weight[i] > 0) return i;
  }
  return kFishKinds - 1;
}

std::int32_t ChooseFish(Game& game, std::int32_t& range, std::int32_t& x) {
  return ChooseFishWithDraw(range, x, game.platform.Rnd());
}

}  // namespace marivo
