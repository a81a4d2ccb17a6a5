// The speech balloon's layout and its shape table.
#include <gtest/gtest.h>

#include "shapes/mod_RGN_pop.h"
#include "tests/model_fixture.h"

namespace marivo {
namespace {

using testing::ModelGame;

TEST(Balloon, SideZeroStartsAtTheAnchorAndReachesRight) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ShowBalloon(game, "HIT!!!", 1625, 10350, 0);
  const double textWidth = 6 * 6 * 15;  // the model's font: 6 px per ASCII character
  EXPECT_DOUBLE_EQ(game.frmL.Left(), 1625);
  EXPECT_DOUBLE_EQ(game.frmL.Top(), 10350 - 150);
  EXPECT_DOUBLE_EQ(game.frmL.Width(), 120);
  EXPECT_DOUBLE_EQ(game.frmL.Height(), 270);
  EXPECT_DOUBLE_EQ(game.frmC.Left(), 1625 + 120);
  EXPECT_DOUBLE_EQ(game.frmC.Top(), 10350 - 150 + 10);
  EXPECT_DOUBLE_EQ(game.frmC.Width(), textWidth);
  EXPECT_DOUBLE_EQ(game.frmC.Height(), 220);
  EXPECT_DOUBLE_EQ(game.frmR.Left(), 1625 + 120 + textWidth);
  EXPECT_DOUBLE_EQ(game.frmR.Width(), 105);
  EXPECT_EQ(game.frmL.Picture(), &assets::BalloonPiece(0));
  EXPECT_EQ(game.frmR.Picture(), &assets::BalloonPiece(1));
  EXPECT_DOUBLE_EQ(game.frmC.Line2.Y1(), 212);
  EXPECT_DOUBLE_EQ(game.frmC.Line2.X2(), textWidth);
  // The text was drawn before the piece was shown and is still there.
  ASSERT_EQ(game.frmC.State().drawing.size(), 1u);
  EXPECT_EQ(game.frmC.State().drawing[0].text, "HIT!!!");
  EXPECT_DOUBLE_EQ(game.frmC.State().drawing[0].y, 40);
  EXPECT_EQ(g.model.JournalWith("show ").back(), "show frmR");
  EXPECT_EQ(g.model.Find(WindowId::frmL)->shapeTag, 0);
  EXPECT_EQ(g.model.Find(WindowId::frmR)->shapeTag, 1);
}

TEST(Balloon, SideOneEndsAtTheAnchorWithTheTailOnTheRight) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ShowBalloon(game, "HIT!!!", 5000, 9000, 1);
  const double textWidth = 6 * 6 * 15;
  EXPECT_DOUBLE_EQ(game.frmR.Left(), 5000);
  EXPECT_DOUBLE_EQ(game.frmL.Left(), 5000 - textWidth - 105);
  EXPECT_DOUBLE_EQ(game.frmR.Width(), 120);
  EXPECT_EQ(game.frmR.Picture(), &assets::BalloonPiece(3));
  EXPECT_EQ(g.model.Find(WindowId::frmR)->shapeTag, 3);
}

TEST(Balloon, LongerTextWidensTheCentreAndMovesTheRightCap) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ShowBalloon(game, "たい", 1000, 9000, 0);
  const double shortRight = game.frmR.Left();
  game.frmL.Unload();
  game.frmC.Unload();
  game.frmR.Unload();
  ShowBalloon(game, "あじのひらき", 1000, 9000, 0);
  EXPECT_DOUBLE_EQ(game.frmR.Left() - shortRight, 4 * 11 * 15);
  EXPECT_DOUBLE_EQ(game.frmL.Width(), 120);
  EXPECT_DOUBLE_EQ(game.frmR.Width(), 105);
}

TEST(Balloon, TheShapeTableIsBuiltOncePerRun) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  EXPECT_EQ(game.BalloonShapesBuilt, 0);
  EXPECT_EQ(game.BalloonShapeTable[0].dwSize, 0u);
  ShowBalloon(game, "HIT!!!", 1625, 10350, 0);
  EXPECT_EQ(game.BalloonShapesBuilt, -1);
  for (int e = 0; e < 4; ++e) {
    EXPECT_EQ(game.BalloonShapeTable[e].dwSize, 32u);
    EXPECT_EQ(game.BalloonShapeTable[e].nRgnSize, 16 * game.BalloonShapeTable[e].nCount);
  }
  EXPECT_EQ(game.BalloonShapeTable[4].dwSize, 0u);
  // A later balloon uses the table as it stands instead of rebuilding it.
  game.BalloonShapeTable[0].rcBound.left = 99;
  ShowBalloon(game, "バレタ！！", 1625, 10350, 0);
  EXPECT_EQ(game.BalloonShapeTable[0].rcBound.left, 99);
}

}  // namespace
}  // namespace marivo
