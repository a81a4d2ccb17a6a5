#include "ui/frmMenu.h"

#include "scene/game.h"

namespace marivo {

MenuWindow::MenuWindow(Game& game) : Form(game.platform, WindowId::frmMenu), game_(game) {}

void MenuWindow::OnClick(Control&) {
  // The menu's items arrive with the fishing cycle.
}

}  // namespace marivo
