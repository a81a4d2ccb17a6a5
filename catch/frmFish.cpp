#include "catch/frmFish.h"

#include "scene/game.h"

namespace marivo {

FishWindow::FishWindow(Game& game) : Form(game.platform, WindowId::frmFish), game_(game) {}

void FishWindow::OnLoad() {}
void FishWindow::OnTimer(Timer&) {}
void FishWindow::getFish(std::int32_t, bool) {}

}  // namespace marivo
