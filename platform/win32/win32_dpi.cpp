#include "platform/win32/win32_dpi.h"

#include <algorithm>

#include "platform/arith.h"

namespace marivo::win32 {

int TwipsPerPixel(int dpi) {
  if (dpi <= 0) return 15;
  return std::max(1, Nearest(1440.0 / dpi));
}

ScreenInfo MetricsFromDesktop(int screenWidth, int screenHeight, int workAreaBottom,
                              int captionHeight, int dpiX, int dpiY) {
  ScreenInfo s;
  s.widthPx = screenWidth;
  s.heightPx = screenHeight;
  s.twipsPerPixelX = TwipsPerPixel(dpiX);
  s.twipsPerPixelY = TwipsPerPixel(dpiY);
  // A work area that claims to reach below the screen is clipped to it.
  const int bottom = std::clamp(workAreaBottom, 0, std::max(0, screenHeight));
  s.captionHeight = captionHeight;
  s.fullScreenClientHeight = bottom - captionHeight;
  return s;
}

int ScaleForDpi(int dpi) {
  if (dpi <= 0) return 1;
  return std::max(1, NearestHalfUp(dpi / 96.0));
}

ScaledDesktop ScaleDesktop(int screenWidth, int screenHeight, int workAreaBottom, int captionHeight,
                           int scale) {
  scale = std::max(1, scale);
  const int height = std::max(0, screenHeight);
  const int bottom = std::clamp(workAreaBottom, 0, height);
  ScaledDesktop out;
  const int logicalBottom = bottom / scale;
  out.originY = bottom - logicalBottom * scale;
  out.screen =
      MetricsFromDesktop((std::max(0, screenWidth) + scale - 1) / scale, height / scale,
                         logicalBottom, (std::max(0, captionHeight) + scale - 1) / scale, 96, 96);
  return out;
}

}  // namespace marivo::win32
