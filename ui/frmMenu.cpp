#include "ui/frmMenu.h"

#include "catch/record.h"
#include "scene/game.h"

namespace marivo {

MenuWindow::MenuWindow(Game& game) : Form(game.platform, WindowId::frmMenu), game_(game) {}

void MenuWindow::OnClick(Control& control) {
  Game& g = game_;
  if (&control == &mFishList) {
    g.frmList.Show(true);
  } else if (&control == &mver) {
    g.frm_Version.Show(true);
  } else if (&control == &mComplete) {
    // Modeless; choosing it again while it is open only brings it up.
    g.FrmComplete.Show();
    g.FrmComplete.ZOrder(0);
  } else if (&control == &mend) {
    // The orderly end: the counts as they stand go to the record first.
    SaveCatchCounts(g);
    g.platform.End();
  }
}

}  // namespace marivo
