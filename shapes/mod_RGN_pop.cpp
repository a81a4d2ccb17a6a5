#include "shapes/mod_RGN_pop.h"

#include <stdexcept>

#include "scene/game.h"
#include "shapes/shape_apply.h"
#include "shapes/shape_record.h"

namespace marivo {

void BuildBalloonShapes(Game& game) {
  for (int entry = 0; entry <= 3; ++entry) {
    FillShapeRecord(game.BalloonShapeTable[entry], BalloonShapeData(entry));
  }
}

void ApplyBalloonShape(Game& game, std::int32_t entry, Form& window) {
  if (entry < 0 || entry > 4) throw std::out_of_range("balloon shape entry outside the table");
  const BalloonShapeRecord& record = game.BalloonShapeTable[static_cast<std::size_t>(entry)];
  SetShapeOrEnd(game.platform, record, entry, window);
}

void ShowBalloon(Game& game, std::string_view text, double x, double y, int side) {
  BalloonCenterWindow& centre = game.frmC;
  BalloonCapWindow& left = game.frmL;
  BalloonCapWindow& right = game.frmR;

  centre.Cls();
  if (game.BalloonShapesBuilt != -1) {
    BuildBalloonShapes(game);
    game.BalloonShapesBuilt = -1;
  }
  // The caps are freshly loaded, so this is their designed height.
  y -= left.Height();

  // The centre piece is exactly as wide as the text; the text is drawn
  // before the piece is shown and stays on its surface.
  centre.SetWidth(centre.TextWidth(text));
  centre.SetHeight(220);
  centre.SetCurrentY(40);
  centre.Print(text);

  if (side == 1) {
    left.SetPicture(centre.Picture1(2).Picture());
    left.SetHeight(270);
    left.SetWidth(105);
    ApplyBalloonShape(game, 2, left);
    right.SetPicture(centre.Picture1(3).Picture());
    right.SetHeight(270);
    right.SetWidth(120);
    ApplyBalloonShape(game, 3, right);
    x -= centre.Width() + left.Width();
  } else {
    left.SetPicture(centre.Picture1(0).Picture());
    left.SetHeight(270);
    left.SetWidth(120);
    ApplyBalloonShape(game, 0, left);
    right.SetPicture(centre.Picture1(1).Picture());
    right.SetHeight(270);
    right.SetWidth(105);
    ApplyBalloonShape(game, 1, right);
  }

  // The top and bottom lines continue the caps' outline.
  const double w = centre.Width();
  const double h = centre.Height();
  centre.Line1.SetX1(0);
  centre.Line1.SetY1(0);
  centre.Line1.SetX2(w);
  centre.Line1.SetY2(0);
  centre.Line2.SetX1(0);
  centre.Line2.SetY1(h - 8);
  centre.Line2.SetX2(w);
  centre.Line2.SetY2(h - 8);

  left.Move(x, y);
  centre.Move(x + left.Width(), y + 10);
  right.Move(x + left.Width() + centre.Width(), y);

  left.Show();
  centre.Show();
  right.Show();
}

}  // namespace marivo
