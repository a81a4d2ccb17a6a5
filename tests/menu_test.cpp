// The popup menu, the version dialog, the certificate, the exit that saves
// the counts, and the session end that saves them the same way.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "catch/record.h"
#include "scene/mod_Subroutine.h"
#include "tests/cycle_support.h"

namespace marivo {
namespace {

using namespace testing;
using Captions = std::vector<std::string>;

// Opens the popup at `at` and chooses `item` ("" dismisses it).
void ChooseAt(ModelGame& g, std::uint64_t at, const std::string& item) {
  g.model.QueueMenuChoice(item);
  g.model.PressAt(at, kButtonRight);
  g.model.ReleaseAt(at + 5, kButtonRight);
}

TEST(Menu, OffersThreeItemsOrFourOnceTheCollectionIsComplete) {
  ModelGame plain;
  ASSERT_TRUE(plain.Start());
  ChooseAt(plain, 100, "");
  ASSERT_TRUE(plain.RunUntil(200));
  ASSERT_EQ(plain.model.Popups().size(), 1u);
  EXPECT_EQ(plain.model.Popups()[0], (Captions{"釣果履歴", "-", "バージョン情報", "-", "終了"}));

  ModelGame complete;
  PutFile(complete.RecordFile(), "[Data]\r\nComplete=1\r\n");
  ASSERT_TRUE(complete.Start());
  ChooseAt(complete, 100, "");
  ASSERT_TRUE(complete.RunUntil(200));
  ASSERT_EQ(complete.model.Popups().size(), 1u);
  EXPECT_EQ(complete.model.Popups()[0],
            (Captions{"釣果履歴", "-", "バージョン情報", "-", "認定書を見る！", "-", "終了"}));
}

TEST(Menu, ExitWritesTheFortyCountsAndEnds) {
  ModelGame g;
  PutFile(g.RecordFile(), "[Data]\r\nComplete=1\r\n");
  ASSERT_TRUE(g.Start());
  g.game.state.CatchCount[3] = 1;
  g.game.state.CatchCount[42] = 9;  // a joke catch: never stored
  ChooseAt(g, 100, "mend");
  EXPECT_FALSE(g.RunUntil(1000)) << "the program ended";
  EXPECT_TRUE(g.model.Ended());
  EXPECT_EQ(FileText(g.RecordFile()), "[Data]\r\nComplete=1\r\nTyouka=" + std::string(9, '0') +
                                          "001" + std::string(108, '0') + "\r\n");
}

TEST(Menu, ExitInTheMiddleOfAFightSavesTheCountsAsTheyStand) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  g.game.state.CatchCount[0] = 5;
  PutFloatOnTheWater(g, 9000);
  Hooked(g);
  g.game.frmCon.Timer3.SetEnabled(true);  // as the strike arms it
  ChooseAt(g, g.model.Elapsed() + 1500, "mend");
  EXPECT_FALSE(g.RunFor(5000));
  EXPECT_TRUE(Journaled(g, "text frmC HIT!!!"));
  EXPECT_EQ(ReadSetting(g.game, "Data", "Tyouka"), "005" + std::string(117, '0'));
}

TEST(SessionEnd, SavesExactlyAsTheExitItemDoesAndEnds) {
  ModelGame byExit;
  ModelGame bySession;
  for (ModelGame* g : {&byExit, &bySession}) {
    ASSERT_TRUE(g->Start());
    g->game.state.CatchCount[0] = 4096;
    g->game.state.CatchCount[39] = 2;
  }
  ChooseAt(byExit, 100, "mend");
  bySession.model.SessionEndAt(100);
  EXPECT_FALSE(byExit.RunUntil(1000));
  EXPECT_FALSE(bySession.RunUntil(1000));
  EXPECT_TRUE(bySession.model.Ended());
  EXPECT_EQ(FileText(bySession.RecordFile()), FileText(byExit.RecordFile()));
  EXPECT_EQ(ReadSetting(bySession.game, "Data", "Tyouka"), "FFF" + std::string(114, '0') + "002");
}

TEST(SessionEnd, DuringALandingKeepsTheCatchJustCounted) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  PutFloatOnTheWater(g, 2000);
  Hooked(g);
  g.game.state.FishRange = 13824;
  g.model.QueueDraws({0.0f});  // かわはぎ
  // The catch is counted 300 ms into the landing; the balloon is up then.
  g.model.SessionEndAt(g.model.Elapsed() + 1500);
  Flag withCatch = kTrue;
  EXPECT_FALSE(Survives([&] { LandCatch(g.game, withCatch); }));
  EXPECT_EQ(ReadSetting(g.game, "Data", "Tyouka"), "001" + std::string(117, '0'));
}

TEST(VersionDialog, OpensCentredAndModalAndTheOkButtonClosesIt) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  VersionWindow& dialog = g.game.frm_Version;
  Probes probes(g);
  ChooseAt(g, 100, "mver");
  probes.At(200, [&] {
    ASSERT_TRUE(dialog.IsLoaded());
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(dialog.Caption(), "ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_DOUBLE_EQ(dialog.Left(), (g.platform.ScreenWidth() - dialog.Width()) / 2);
    EXPECT_DOUBLE_EQ(dialog.Top(), (g.platform.ScreenHeight() - dialog.Height()) / 2);
  });
  // While it is open the button takes no input.
  g.model.PressAt(300);
  probes.At(400, [&] { EXPECT_EQ(g.game.state.GaugeRunning, kFalse); });
  g.model.ClickAt(500, WindowId::frm_Version, dialog.Command1.Slot());
  ASSERT_TRUE(g.RunUntil(600));
  EXPECT_FALSE(dialog.IsLoaded());
  // The title bar's close button does the same.
  ChooseAt(g, 700, "mver");
  probes.At(750, [&] { EXPECT_TRUE(dialog.Visible()); });
  g.model.CloseAt(800, WindowId::frm_Version);
  ASSERT_TRUE(g.RunUntil(900));
  EXPECT_FALSE(dialog.IsLoaded());
}

TEST(Certificate, OpensModelessAndChoosingItAgainOnlyBringsItUp) {
  ModelGame g;
  PutFile(g.RecordFile(), "[Data]\r\nComplete=1\r\n");
  ASSERT_TRUE(g.Start());
  CompleteWindow& certificate = g.game.FrmComplete;
  ChooseAt(g, 100, "mComplete");
  ASSERT_TRUE(g.RunUntil(200)) << "the menu's handler has returned";
  ASSERT_TRUE(certificate.IsLoaded());
  EXPECT_TRUE(certificate.Visible());
  EXPECT_EQ(certificate.Caption(), "Marivo2");
  g.model.ClearJournal();
  ChooseAt(g, 300, "mComplete");
  ASSERT_TRUE(g.RunUntil(400));
  EXPECT_EQ(g.model.Popups().size(), 2u);
  EXPECT_TRUE(g.model.JournalWith("load FrmComplete").empty()) << "the same window";
  EXPECT_EQ(g.model.Stacking().front(), WindowId::FrmComplete);
  g.model.CloseAt(500, WindowId::FrmComplete);
  ASSERT_TRUE(g.RunUntil(600));
  EXPECT_FALSE(certificate.IsLoaded());
}

}  // namespace
}  // namespace marivo
