#include "shapes/mod_RGN_Data.h"

#include "platform/platform.h"

namespace marivo {
namespace {
void SetSize(Form& window, int height, int width) {
  window.SetHeight(height);
  window.SetWidth(width);
}
}  // namespace

void SizeMan(Form& window) {
  SetSize(window, 720, 750);
}
void SizeUkiUpright(Form& window) {
  SetSize(window, 315, 75);
}
void SizeUkiSlant(Form& window) {
  SetSize(window, 180, 255);
}
void SizeUkiFlat(Form& window) {
  SetSize(window, 75, 315);
}
void SizeUkiWide(Form& window) {
  SetSize(window, 210, 465);
}
void SizeFish(Form& window) {
  SetSize(window, 540, 540);
}
void SizeMarker(Form& window) {
  SetSize(window, 150, 210);
}

}  // namespace marivo
