// Plain value types shared by the window layer, its backends and the game.
#pragma once

#include <cstdint>
#include <string>

namespace marivo {

// 24-bit RGB colour, 0xRRGGBB. Colours compare exactly.
using Color = std::uint32_t;
inline constexpr Color kBlue = 0x0000FF;
inline constexpr Color kRed = 0xFF0000;
inline constexpr Color kWhite = 0xFFFFFF;
inline constexpr Color kBlack = 0x000000;
// Stands for the desktop's button-face colour; backends substitute their own.
inline constexpr Color kButtonFace = 0xF0F0F0;

inline constexpr int kButtonLeft = 1;
inline constexpr int kButtonRight = 2;
inline constexpr int kButtonMiddle = 4;

struct ScreenInfo {
  int widthPx = 1024;
  int heightPx = 768;
  int twipsPerPixelX = 15;
  int twipsPerPixelY = 15;
  // Usable height above the task bar less one caption bar, and the caption
  // bar's height: their sum is the pixel row where the task bar begins.
  int fullScreenClientHeight = 719;
  int captionHeight = 19;
};

struct LocalTime {
  int year = 2000;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
};

struct FontDesign {
  const char* face = "";  // the face the window was designed with
  double points = 9.0;
  bool bold = false;
};

enum class BorderStyle { None, ThinSingle, FixedDialog, FixedSingle, Sizable };

enum class ControlKind { Timer, PictureBox, Image, Label, Line, Shape, CommandButton, MenuItem };

enum class TextAlign { Left, Center };

enum class MessageStyle { OkOnly, YesNoQuestion };
enum class MessageResult { Ok, Yes, No };

// Outcome of setting a window's shape: the region could not be built from
// the record, or the window refused it.
enum class ShapeResult { Ok, RegionFailed, WindowRefused };

// Space a window's frame takes around its client area, in pixels.
struct FrameInsets {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

}  // namespace marivo
