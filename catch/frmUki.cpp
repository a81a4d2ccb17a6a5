#include "catch/frmUki.h"

#include "scene/game.h"

namespace marivo {

UkiWindow::UkiWindow(Game& game) : Form(game.platform, WindowId::frmUki), game_(game) {}

void UkiWindow::OnLoad() {}
void UkiWindow::OnTimer(Timer&) {}
void UkiWindow::ukihikuhiku(double, bool) {}
void UkiWindow::PlayerHiku(double, int) {}

}  // namespace marivo
