// The generated table behind assets/images.h (written by tools/imagegen).
#pragma once

#include "assets/images.h"

namespace marivo::assets::detail {

// Order of the table: 7 angler frames, 6 float frames, 45 catches, the hook,
// 40 history pictures, 4 balloon caps, the gauge, the icon, the certificate.
inline constexpr int kManFirst = 0;
inline constexpr int kUkiFirst = 7;
inline constexpr int kFishFirst = 13;
inline constexpr int kHookIndex = 58;
inline constexpr int kHistoryFirst = 59;
inline constexpr int kBalloonFirst = 99;
inline constexpr int kGaugeIndex = 103;
inline constexpr int kIconIndex = 104;
inline constexpr int kCertificateIndex = 105;
inline constexpr int kImageCount = 106;

extern const Image kImageTable[kImageCount];
extern const Image* const kImagePointers[kImageCount];

}  // namespace marivo::assets::detail
