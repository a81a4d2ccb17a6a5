// The generated outline data behind SpriteShapeData and BalloonShapeData
// (written by tools/shapegen from the sprites).
#pragma once

#include "shapes/shape_record.h"

namespace marivo::detail {

inline constexpr int kSpriteShapeCount = 60;
inline constexpr int kBalloonShapeCount = 4;

extern const PackedShape kSpriteShapes[kSpriteShapeCount];
extern const PackedShape kBalloonShapes[kBalloonShapeCount];

}  // namespace marivo::detail
