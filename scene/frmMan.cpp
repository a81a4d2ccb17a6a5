#include "scene/frmMan.h"

#include "catch/record.h"
#include "platform/arith.h"
#include "scene/game.h"
#include "scene/mod_Subroutine.h"
#include "shapes/mod_RGN_Data.h"
#include "shapes/mod_RGN_Proc.h"

namespace marivo {

ManWindow::ManWindow(Game& game) : Form(game.platform, WindowId::frmMan), game_(game) {}

void ManWindow::ShowFrame(int frame) {
  SetPicture(Picture1(frame).Picture());
  ApplyShape(game_, frame, *this);
}

void LayOutScene(Game& g) {
  Platform& p = g.platform;
  GameState& s = g.state;
  // The usable bottom edge: the pixel row where the task bar begins.
  const std::int32_t rows = p.FullScreenClientHeight() + p.CaptionHeight();
  s.ScreenBottom = double(p.TwipsPerPixelY()) * double(rows);

  // Reading the bar's height is its first use: its load handler sizes it.
  g.frmCon.SetTop(s.ScreenBottom - g.frmCon.Height());
  g.frmCon.SetLeft(0);
  g.frmCon.Show();

  g.frmMan.Move(g.frmCon.Width(), s.ScreenBottom - g.frmMan.Height());

  g.frmSea.SetLeft(g.frmCon.Width());
  g.frmSea.SetHeight(50);
  g.frmSea.SetTop(s.ScreenBottom - g.frmSea.Height());
  g.frmSea.SetWidth(p.ScreenWidth());
  g.frmSea.Show();
}

void ManWindow::OnLoad() {
  Game& g = game_;
  // Every later shape relies on the table.
  BuildShapeTable(g);
  SizeMan(*this);
  ApplyShape(g, 0, *this);

  LayOutScene(g);

  ChooseRecordPlace(g);
  LoadCatchCounts(g);
  g.countsLoaded_ = true;

  const bool complete = ReadSetting(g, "Data", "Complete") == "1";
  g.frmMenu.mComplete.SetVisible(complete);
  g.frmMenu.sepx.SetVisible(complete);
}

void ManWindow::OnTimer(Timer& timer) {
  if (&timer != &Timer1) return;
  Platform& p = game_.platform;
  // The rod twitches between frames 5 and 6 at random intervals.
  Timer1.SetEnabled(false);
  struggleOffset_ = Floor(p.Rnd() * 2.0f);
  ShowFrame(5 + struggleOffset_);
  Timer1.SetInterval(Floor(p.Rnd() * 100.0f + 100.0f));
  Timer1.SetEnabled(true);
}

}  // namespace marivo
