// The catch history window: the grid and its counters as it opens, the
// count under the pointer, and the clear that asks first.
#include <gtest/gtest.h>

#include <fstream>

#include "catch/record.h"
#include "tests/cycle_support.h"

namespace marivo {
namespace {

using namespace testing;

int VisibleCells(ListWindow& list) {
  int n = 0;
  for (int i = 0; i < 40; ++i) n += list.Picture1(i).Visible() ? 1 : 0;
  return n;
}

TEST(History, OpensAboveTheAnglerWithTheCaughtKindsShown) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ListWindow& list = game.frmList;
  list.Load();
  EXPECT_EQ(list.Label3.Caption(), "0 / 40");
  EXPECT_EQ(VisibleCells(list), 0);
  EXPECT_EQ(list.Label2.Caption(), "");
  EXPECT_DOUBLE_EQ(list.Left(), 0);
  EXPECT_DOUBLE_EQ(list.Top(), game.frmMan.Top() - list.Height() - 100);
  list.Unload();

  auto& counts = game.state.CatchCount;
  counts[0] = 3;
  counts[7] = 12;
  counts[39] = 4096;
  counts[40] = 5;   // joke catches have no cell
  counts[12] = -1;  // below 1: no cell either
  list.Load();
  EXPECT_EQ(list.Label3.Caption(), "3 / 40");
  EXPECT_EQ(VisibleCells(list), 3);
  EXPECT_TRUE(list.Picture1(7).Visible());
  EXPECT_EQ(list.Picture1(7).ToolTipText(), "いしだい");
  EXPECT_FALSE(list.Picture1(12).Visible());
  list.Unload();

  for (int i = 0; i < 40; ++i) counts[std::size_t(i)] = 1;
  list.Load();
  EXPECT_EQ(list.Label3.Caption(), "40 / 40");
  EXPECT_EQ(VisibleCells(list), 40);
}

TEST(History, ThePointerShowsTheCountOfTheFishUnderIt) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ListWindow& list = game.frmList;
  game.state.CatchCount[7] = 3;
  game.state.CatchCount[39] = 4096;
  list.Load();
  list.Show();
  g.model.MoveAt(100, WindowId::frmList, list.Picture1(7).Slot());
  ASSERT_TRUE(g.RunUntil(150));
  EXPECT_EQ(list.Label2.Caption(), "3 匹");
  g.model.MoveAt(200, WindowId::frmList, list.Picture1(39).Slot());
  ASSERT_TRUE(g.RunUntil(250));
  EXPECT_EQ(list.Label2.Caption(), "4096 匹");
  // A button changes nothing; the window's own surface clears it.
  g.model.MoveAt(300, WindowId::frmList, list.Command2.Slot());
  ASSERT_TRUE(g.RunUntil(350));
  EXPECT_EQ(list.Label2.Caption(), "4096 匹");
  g.model.MoveAt(400, WindowId::frmList, -1);
  ASSERT_TRUE(g.RunUntil(450));
  EXPECT_EQ(list.Label2.Caption(), "");
  // A hidden cell lets the pointer through to the window.
  g.model.MoveAt(500, WindowId::frmList, list.Picture1(7).Slot());
  g.model.MoveAt(550, WindowId::frmList, list.Picture1(2).Slot());
  ASSERT_TRUE(g.RunUntil(600));
  EXPECT_EQ(list.Label2.Caption(), "");
}

// Opens the history from the menu, points at kind 0, answers the clear
// with `answer` and closes it; `during` runs while it is still open.
void ClearFromTheMenu(ModelGame& g, MessageResult answer, Probes& probes,
                      std::function<void()> during) {
  ListWindow& list = g.game.frmList;
  g.model.QueueMenuChoice("mFishList");
  g.model.PressAt(100, kButtonRight);
  g.model.ReleaseAt(105, kButtonRight);
  probes.At(150, [&list, &g] {
    g.model.MoveAt(g.model.Elapsed() + 10, WindowId::frmList, list.Picture1(0).Slot());
  });
  g.model.QueueMessageAnswer(answer);
  g.model.ClickAt(300, WindowId::frmList, list.Command2.Slot());
  probes.At(400, std::move(during));
  g.model.ClickAt(500, WindowId::frmList, list.Command1.Slot());
  ASSERT_TRUE(g.RunUntil(600));
  EXPECT_FALSE(list.IsLoaded());
}

TEST(History, ClearingAfterYesEmptiesTheGridAndTheRecordButKeepsTheRest) {
  ModelGame g;
  {
    std::ofstream out(g.RecordFile(), std::ios::binary);
    out << "[Data]\r\nTyouka=003002\r\nComplete=1\r\n";
  }
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ListWindow& list = game.frmList;
  game.state.CatchCount[44] = 6;
  Probes probes(g);
  ClearFromTheMenu(g, MessageResult::Yes, probes, [&] {
    EXPECT_EQ(VisibleCells(list), 0);
    EXPECT_EQ(list.Picture1(0).ToolTipText(), "");
    // The counters keep their text until the pointer moves or it reopens.
    EXPECT_EQ(list.Label3.Caption(), "2 / 40");
    EXPECT_EQ(list.Label2.Caption(), "3 匹");
  });
  EXPECT_EQ(g.model.Messages(), std::vector<std::string>{"釣果をクリアしていいですか？"});
  EXPECT_EQ(game.state.CatchCount[0], 0);
  EXPECT_EQ(game.state.CatchCount[1], 0);
  EXPECT_EQ(game.state.CatchCount[44], 6);
  EXPECT_EQ(ReadSetting(game, "Data", "Tyouka"), std::string(120, '0'));
  EXPECT_EQ(ReadSetting(game, "Data", "Complete"), "1");
  list.Load();
  EXPECT_EQ(list.Label3.Caption(), "0 / 40");
}

TEST(History, AnsweringNoChangesNothing) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ListWindow& list = game.frmList;
  game.state.CatchCount[0] = 3;
  Probes probes(g);
  ClearFromTheMenu(g, MessageResult::No, probes, [&] {
    EXPECT_EQ(VisibleCells(list), 1);
    EXPECT_EQ(list.Picture1(0).ToolTipText(), "かわはぎ");
  });
  EXPECT_EQ(g.model.Messages().size(), 1u);
  EXPECT_EQ(game.state.CatchCount[0], 3);
  EXPECT_TRUE(g.model.JournalWith("write ").empty());
}

}  // namespace
}  // namespace marivo
