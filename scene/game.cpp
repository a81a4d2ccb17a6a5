#include "scene/game.h"

#include "catch/record.h"
#include "scene/mod_Subroutine.h"

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
    SaveCatchCounts(*this, false);  // nobody is left to read a box
    this->platform.End();
  });
  platform.SetScreenChangedHandler([this] { OnScreenChanged(); });
}

bool Game::Idle() const {
  // A cast, a bite, a fight or a landing moves windows relative to where
  // the scene stood when it began; those finish where they started.
  return state.Busy == kFalse && state.Reeling == kFalse && state.GaugeRunning == kFalse &&
         state.Biting == kFalse;
}

void Game::OnScreenChanged() {
  if (!frmMan.IsLoaded()) return;  // start-up has not built the scene yet
  relayoutPending_ = true;
  LayOutAgainIfPending();
}

void Game::LayOutAgainIfPending() {
  if (!relayoutPending_ || !Idle()) return;
  relayoutPending_ = false;
  LayOutAgain();
}

void Game::LayOutAgain() {
  const double oldBottom = state.ScreenBottom;
  LayOutScene(*this);
  // A float waiting on the water moves with the sea; its bobs are measured
  // from its reference top.
  const double shift = state.ScreenBottom - oldBottom;
  if (state.LineOut != kFalse && frmUki.IsLoaded() && shift != 0) {
    frmUki.ntop += Nearest(shift);
    frmUki.SetTop(frmUki.Top() + shift);
  }
}

void Game::Start() {
  // One copy per user: a second one would put a second scene on the first
  // and overwrite its catches.
  if (!platform.ClaimSingleInstance()) {
    refusedAsSecondCopy_ = true;
    platform.MsgBox("マリヴォ２はすでに起動しています。", MessageStyle::OkOnly);
    platform.End();
  }
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
    return game.RefusedAsSecondCopy() ? 1 : 0;
  }
  platform.Run();
  return 0;
}

}  // namespace marivo
