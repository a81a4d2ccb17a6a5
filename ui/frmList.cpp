#include "ui/frmList.h"

#include "scene/game.h"

namespace marivo {

ListWindow::ListWindow(Game& game) : Form(game.platform, WindowId::frmList), game_(game) {}

void ListWindow::OnLoad() {}
void ListWindow::OnMouseMove(Control*) {}
void ListWindow::OnClick(Control& control) {
  if (&control == &Command1) Unload();
}

}  // namespace marivo
