#include "scene/game.h"

#include <algorithm>

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
  // The desktop is going away (logoff, shutdown, a termination signal), or
  // someone closed the program (a close request to a sprite, or to the
  // program): keep this run's catches exactly as the exit item would.
  platform.SetSessionEndingHandler([this] { SaveAndEnd(); });
  platform.SetQuitRequestHandler([this] { SaveAndEnd(); });
  platform.SetScreenChangedHandler([this] { OnScreenChanged(); });
}

void Game::SaveAndEnd() {
  // The saving refuses counts that were never read; nobody may be left to
  // read a box, so a failure here ends quietly.
  SaveCatchCounts(*this, false);
  platform.End();
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
  const double oldWidth = frmSea.Width();  // the sea spans the screen
  LayOutScene(*this);
  if (state.LineOut == kFalse || !frmUki.IsLoaded()) return;
  // A float waiting on the water moves with the sea: its resting height is
  // worked out from the new bottom, and it keeps its depth below that (a
  // dip in progress carries on from there, see UkiWindow::Relaid).
  const std::int32_t oldRest = frmUki.ntop;
  frmUki.ntop = frmUki.RestingTop();
  if (frmUki.ntop != oldRest) frmUki.SetTop(frmUki.Top() + (frmUki.ntop - oldRest));
  // On a narrower screen a float past the new right edge comes back to the
  // right end of the band its drifts keep to.
  const double width = platform.ScreenWidth();
  if (width < oldWidth && frmUki.Left() + frmUki.Width() > width) {
    const double reach = 2 * frmMan.Width();
    frmUki.SetLeft(std::max(frmMan.Left() + reach, width - reach));
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
  // Catches that never reached the record are lost with the program: the
  // player was told in a box, and whoever started the program is told too.
  return game.record.unsaved.empty() ? 0 : 3;
}

}  // namespace marivo
