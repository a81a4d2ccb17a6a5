#include "scene/game.h"

#include "catch/record.h"

namespace marivo {

Game::Game(Platform& platform)
    : platform(platform),
      frmMan(*this),
      frmSea(platform),
      frmUki(*this),
      frm_Version(platform),
      frmMenu(*this),
      frmCon(*this),
      frmFish(*this),
      frmC(platform),
      frmL(platform, WindowId::frmL),
      frmR(platform, WindowId::frmR),
      frmList(*this),
      frmV(*this),
      FrmComplete(platform) {
  // The desktop is going away (logoff, shutdown, a termination signal):
  // keep this run's catches exactly as the exit item would, then end.
  platform.SetSessionEndingHandler([this] {
    SaveCatchCounts(*this);
    this->platform.End();
  });
}

void Game::Start() {
  // The start-up window: its load handler builds the scene, then the
  // window layer shows it.
  frmMan.Load();
  frmMan.Show();
}

int RunGame(Backend& backend) {
  Platform platform(backend);
  Game game(platform);
  try {
    game.Start();
  } catch (const ProgramEnded&) {
    return 0;
  }
  platform.Run();
  return 0;
}

}  // namespace marivo
