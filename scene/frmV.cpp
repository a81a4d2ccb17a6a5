#include "scene/frmV.h"

#include "scene/game.h"
#include "shapes/mod_RGN_Data.h"
#include "shapes/mod_RGN_Proc.h"

namespace marivo {

MarkerWindow::MarkerWindow(Game& game) : Form(game.platform, WindowId::frmV), game_(game) {}

void MarkerWindow::OnLoad() {
  SizeMarker(*this);
  ApplyShape(game_, 59, *this);
  SetBackColor(kBlue);
}

}  // namespace marivo
