// Start-up: the scene geometry, the order the windows come up, the shape
// failures that end the program, the angler's struggle and the pumping wait;
// the one-copy lock and the ends asked for from outside (the session, a
// close request), which save only what start-up read.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "catch/record.h"
#include "scene/mod_Subroutine.h"
#include "shapes/mod_RGN_Proc.h"
#include "tests/model_fixture.h"

namespace marivo {
namespace {

using testing::FileText;
using testing::ModelGame;
using testing::PutFile;
using testing::TempDir;
namespace fs = std::filesystem;

TEST(StartUp, PlacesTheSceneOnTheTaskBarOfA1024x768Screen) {
  ModelGame g;  // 1024 x 768 at 15 twips per pixel, client height 719, caption 19
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  const double bottom = 15.0 * 738;
  EXPECT_DOUBLE_EQ(game.state.ScreenBottom, bottom);

  EXPECT_DOUBLE_EQ(game.frmCon.Left(), 0);
  EXPECT_DOUBLE_EQ(game.frmCon.Width(), 1250);
  EXPECT_DOUBLE_EQ(game.frmCon.Height(), 230);
  EXPECT_DOUBLE_EQ(game.frmCon.Top(), bottom - 230);

  EXPECT_DOUBLE_EQ(game.frmMan.Left(), 1250);
  EXPECT_DOUBLE_EQ(game.frmMan.Width(), 750);
  EXPECT_DOUBLE_EQ(game.frmMan.Top(), bottom - 720);

  EXPECT_DOUBLE_EQ(game.frmSea.Left(), 1250);
  EXPECT_DOUBLE_EQ(game.frmSea.Height(), 50);
  EXPECT_DOUBLE_EQ(game.frmSea.Top(), bottom - 50);
  EXPECT_DOUBLE_EQ(game.frmSea.Width(), 1024 * 15);
  EXPECT_EQ(game.frmSea.BackColor(), kBlue);

  // On the native side: the bar ends on pixel row 738, the sea is 3 px.
  const auto* bar = g.model.Find(WindowId::frmCon);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->top + bar->height, 738);
  const auto* sea = g.model.Find(WindowId::frmSea);
  ASSERT_NE(sea, nullptr);
  EXPECT_EQ(sea->top, 735);
  EXPECT_EQ(sea->height, 3);
  const auto* man = g.model.Find(WindowId::frmMan);
  ASSERT_NE(man, nullptr);
  EXPECT_EQ(man->left, 83);
  EXPECT_EQ(man->top + man->height, 738);
}

TEST(StartUp, ShowsTheBarThenTheSeaThenTheAnglerOnTop) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  EXPECT_EQ(g.model.JournalWith("show "),
            (std::vector<std::string>{"show frmCon", "show frmSea", "show frmMan"}));
  // The angler, shown last, lies above the left end of the sea strip.
  const auto stack = g.model.Stacking();
  const auto man = std::find(stack.begin(), stack.end(), WindowId::frmMan);
  const auto sea = std::find(stack.begin(), stack.end(), WindowId::frmSea);
  EXPECT_LT(man, sea);
  // The angler was shaped with slot 0 before any window was shown.
  const auto& j = g.model.Journal();
  const auto shaped = std::find(j.begin(), j.end(), "shape frmMan 0");
  const auto firstShow = std::find(j.begin(), j.end(), "show frmCon");
  EXPECT_LT(shaped, firstShow);
}

TEST(StartUp, LeavesTheGameIdleWithOnlyTheClockRunning) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  EXPECT_FALSE(game.frmUki.IsLoaded());
  EXPECT_FALSE(game.frmFish.IsLoaded());
  EXPECT_FALSE(game.frmV.IsLoaded());
  EXPECT_FALSE(game.frmL.IsLoaded());
  EXPECT_FALSE(game.frmMan.Timer1.Enabled());
  EXPECT_TRUE(game.frmCon.Timer2.Enabled());
  EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  EXPECT_EQ(game.state.Busy, kFalse);
  EXPECT_EQ(game.state.LineOut, kFalse);
  EXPECT_EQ(game.state.GaugeLevel, 1.0f);
  EXPECT_EQ(game.frmCon.Picture1.BackColor(), kBlue);
  EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(0));
  // No record file: nothing caught, no certificate entry.
  for (std::int16_t c : game.state.CatchCount) EXPECT_EQ(c, 0);
  EXPECT_FALSE(game.frmMenu.mComplete.Visible());
  EXPECT_FALSE(game.frmMenu.sepx.Visible());
  // The clock shows the time at once, never its design caption.
  EXPECT_EQ(game.frmCon.Label1.Caption(), "12/07 13:05");
  // An idle game wakes only for the clock: a minute is sixty ticks of it.
  g.model.ClearJournal();
  ASSERT_TRUE(g.RunFor(60000));
  EXPECT_TRUE(g.model.JournalWith("shape").empty());
  EXPECT_EQ(game.frmCon.Label1.Caption(), "12/07 13:06");
}

TEST(StartUp, AShapeThatCannotBeBuiltEndsTheProgramBeforeAnythingShows) {
  ModelGame g;
  g.model.FailNextRegion();
  EXPECT_FALSE(g.Start());
  EXPECT_TRUE(g.model.Ended());
  EXPECT_EQ(g.model.Messages(),
            std::vector<std::string>{"リージョンデータの読み込みに失敗しました。"});
  EXPECT_TRUE(g.model.JournalWith("show ").empty());
}

TEST(StartUp, ARefusedShapeEndsTheProgramWithTheSecondMessage) {
  ModelGame g;
  g.model.RefuseNextShape();
  EXPECT_FALSE(g.Start());
  EXPECT_TRUE(g.model.Ended());
  EXPECT_EQ(g.model.Messages(), std::vector<std::string>{"ウィンドウの整形に失敗しました。"});
}

TEST(Shapes, TheTableIsFilledOnceAndSlotSixtyNeverIs) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  for (int slot = 0; slot <= 59; ++slot) {
    const ShapeRecord& r = g.game.ShapeTable[slot];
    EXPECT_EQ(r.dwSize, 32u) << slot;
    EXPECT_EQ(r.iType, 1u) << slot;
    EXPECT_GE(r.nCount, 4u) << slot;
    EXPECT_LE(r.nCount, 69u) << slot;
    EXPECT_EQ(r.nRgnSize, 16 * r.nCount) << slot;
  }
  const ShapeRecord& unused = g.game.ShapeTable[60];
  EXPECT_EQ(unused.dwSize, 0u);
  EXPECT_EQ(unused.nCount, 0u);
  // Applying it fails like a record that cannot make a region.
  EXPECT_THROW(ApplyShape(g.game, 60, g.game.frmMan), ProgramEnded);
  EXPECT_EQ(g.model.Messages(),
            std::vector<std::string>{"リージョンデータの読み込みに失敗しました。"});
}

TEST(Shapes, ApplyingAnotherSlotReplacesTheOutline) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  ApplyShape(g.game, 3, g.game.frmMan);
  const auto* man = g.model.Find(WindowId::frmMan);
  ASSERT_NE(man, nullptr);
  EXPECT_EQ(man->shapeTag, 3);
  EXPECT_EQ(man->shape.size(), g.game.ShapeTable[3].nCount);
  ApplyShape(g.game, 3, g.game.frmMan);
  EXPECT_EQ(man->shape.size(), g.game.ShapeTable[3].nCount);
}

TEST(Angler, StruggleShowsOnlyFramesFiveAndSixAtRandomIntervals) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  g.model.ClearJournal();
  const std::uint64_t start = g.model.Elapsed();
  std::vector<std::uint64_t> times;
  std::set<std::string> shapes;
  game.frmMan.Timer1.SetEnabled(true);
  while (g.model.Elapsed() < start + 10000) {
    const std::size_t before = g.model.JournalWith("shape frmMan").size();
    ASSERT_TRUE(g.RunUntil(g.model.Elapsed() + 1));
    const auto lines = g.model.JournalWith("shape frmMan");
    if (lines.size() > before) {
      times.push_back(g.model.Elapsed());
      shapes.insert(lines.back());
    }
  }
  EXPECT_EQ(shapes, (std::set<std::string>{"shape frmMan 5", "shape frmMan 6"}));
  ASSERT_GT(times.size(), 40u);
  EXPECT_EQ(times[0] - start, 80u);  // the design interval, the very first time
  for (std::size_t i = 1; i < times.size(); ++i) {
    EXPECT_GE(times[i] - times[i - 1], 100u);
    EXPECT_LE(times[i] - times[i - 1], 199u);
  }
  // Switched off, the angler keeps the frame last shown.
  game.frmMan.Timer1.SetEnabled(false);
  const auto* last = game.frmMan.Picture();
  ASSERT_TRUE(g.RunFor(1000));
  EXPECT_EQ(game.frmMan.Picture(), last);
}

TEST(Wait, ZeroMillisecondsRunsNothing) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  int endings = 0;
  g.platform.SetSessionEndingHandler([&] { ++endings; });
  g.model.SessionEndAt(g.model.Elapsed());
  WaitMs(g.game, 0);
  EXPECT_EQ(endings, 0);
  WaitMs(g.game, 1);
  EXPECT_EQ(endings, 1);
}

TEST(Wait, EndsOnTimeAcrossTheWrapOfTheTickCount) {
  ModelBackend::Options o;
  o.startTick = 0xFFFFFFFFu - 30;
  ModelGame g(o);
  const std::uint64_t start = g.model.Elapsed();
  WaitMs(g.game, 100);
  EXPECT_EQ(g.model.Elapsed() - start, 100u);
  WaitMs(g.game, 10.5f);  // fractions round up to the next tick
  EXPECT_EQ(g.model.Elapsed() - start, 111u);
}

TEST(Wait, HandlersRunInsideTheWait) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  g.game.frmMan.Timer1.SetEnabled(true);
  g.model.ClearJournal();
  WaitMs(g.game, 500);
  EXPECT_FALSE(g.model.JournalWith("shape frmMan").empty());
}

// A record beside the program whose first kinds hold `first`.
std::string Record(const std::string& first) {
  return "[Data]\r\nTyouka=" + first + std::string(120 - first.size(), '0') + "\r\n";
}

// The program in <root>/app; `settings` and `runtime` as given.
ModelBackend::Options Places(const fs::path& root, const fs::path& settings,
                             const fs::path& runtime) {
  fs::create_directories(root / "app");
  ModelBackend::Options options;
  options.appPath = (root / "app").string();
  options.userSettingsDir = settings.string();
  options.lockDir = runtime.string();
  return options;
}

TEST(OneCopy, WhereTheRuntimeFolderCannotHoldTheLockTheNextPlaceDoes) {
  TempDir root;
  // A folder that can never be made: its parent is a plain file.
  PutFile(root.Path() / "file", "");
  const fs::path nowhere = root.Path() / "file" / "run";
  const fs::path settings = root.Path() / "user" / "marivo2";
  struct Case {
    const char* what;
    fs::path settings;
    fs::path held;  // where the lock is taken; empty: nowhere
  };
  const Case cases[] = {
      {"the settings folder", settings, settings / "marivo2.lock"},
      {"no settings folder (no HOME): beside the program", "",
       root.Path() / "app" / "marivo2.lock"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ModelBackend::Options options = Places(root.Path(), c.settings, nowhere);
    ModelGame first(options);
    ASSERT_TRUE(first.Start());
    EXPECT_EQ(first.model.JournalWith("lock "),
              std::vector<std::string>{"lock " + c.held.string()});
    ModelGame second(options);
    EXPECT_FALSE(second.Start());
    EXPECT_TRUE(second.game.RefusedAsSecondCopy());
    EXPECT_FALSE(second.game.frmMan.IsLoaded());
  }

  // No place at all: both copies run, and the journal says why.
  ModelBackend::Options options = Places(root.Path(), "", nowhere);
  options.appPath = (root.Path() / "file" / "app").string();
  ModelGame first(options);
  ModelGame second(options);
  EXPECT_TRUE(first.Start());
  EXPECT_TRUE(second.Start());
  EXPECT_EQ(second.model.JournalWith("lock "), std::vector<std::string>{"lock nowhere"});
}

// The refused copy, or one whose start-up fails before the record is read,
// has a box up when the end comes: it ends at once, and writes nothing.
TEST(EndAskedFor, WhileAStartingCopysBoxIsUpEndsItAtOnceWithoutWriting) {
  for (const bool refused : {true, false}) {
    for (const bool session : {true, false}) {
      SCOPED_TRACE(std::string(refused ? "refused" : "still starting") +
                   (session ? ", the session ends" : ", a close request"));
      TempDir root;
      const ModelBackend::Options options = Places(root.Path(), "", root.Path() / "run");
      const fs::path record = root.Path() / "app" / "marivo2.ini";
      PutFile(record, Record("002"));
      ModelGame first(options);
      if (refused) {
        ASSERT_TRUE(first.Start());
      }
      ModelGame g(options);
      if (!refused) g.model.FailNextRegion();  // start-up stops in its box
      g.model.HoldNextMessage(60000);
      PlatformEvent end;
      end.kind = session ? PlatformEvent::Kind::SessionEnding : PlatformEvent::Kind::QuitRequest;
      g.model.PostAt(500, end);
      EXPECT_FALSE(g.Start());
      EXPECT_EQ(g.model.Elapsed(), 500u) << "the box waited for its answer";
      EXPECT_TRUE(g.model.Ended());
      EXPECT_EQ(g.game.RefusedAsSecondCopy(), refused);
      EXPECT_TRUE(g.model.JournalWith("write ").empty());
      EXPECT_EQ(FileText(record), Record("002"));
      if (refused) {
        EXPECT_TRUE(first.RunFor(2000)) << "the first copy plays on";
      }
    }
  }
}

// An end that comes with the click that opens a question is answered inside
// that question's box at once, not at the clock's next tick.
TEST(EndAskedFor, AlreadyWaitingWhenABoxOpensIsAnsweredThereAtOnce) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  g.game.state.CatchCount[2] = 5;
  g.model.QueueMenuChoice("mFishList");
  g.model.PressAt(100, kButtonRight);
  g.model.ReleaseAt(105, kButtonRight);
  g.model.HoldNextMessage(60000);  // "釣果をクリアしていいですか？" stays up
  g.model.ClickAt(300, WindowId::frmList, g.game.frmList.Command2.Slot());
  g.model.SessionEndAt(300);
  EXPECT_FALSE(g.RunUntil(5000));
  EXPECT_EQ(g.model.Elapsed(), 300u);
  EXPECT_EQ(g.model.JournalWith("message closed").size(), 1u);
  EXPECT_EQ(ReadSetting(g.game, "Data", "Tyouka"), "000000005" + std::string(111, '0'));
}

// A close request to any window the game does not close itself, or to the
// program, ends it as the exit item does; a dialog's close only closes it.
TEST(EndAskedFor, ACloseRequestToTheProgramSavesAndEnds) {
  const std::vector<std::pair<std::string, WindowId>> targets = {
      {"angler", WindowId::frmMan},
      {"control bar", WindowId::frmCon},
      {"sea", WindowId::frmSea},
      {"float", WindowId::frmUki},
      {"hidden menu holder", WindowId::frmMenu}};
  for (const auto& [what, window] : targets) {
    SCOPED_TRACE(what);
    ModelGame g;
    ASSERT_TRUE(g.Start());
    if (window == WindowId::frmUki) {
      g.game.frmUki.Show();
      g.game.state.LineOut = kTrue;
    }
    g.game.state.CatchCount[1] = 3;
    g.model.CloseAt(100, window);
    EXPECT_FALSE(g.RunUntil(1000));
    EXPECT_TRUE(g.model.Ended());
    EXPECT_EQ(g.model.Elapsed(), 100u);
    EXPECT_EQ(ReadSetting(g.game, "Data", "Tyouka"), "000003" + std::string(114, '0'));
  }

  // The whole program asked to close, while the modal history is open.
  ModelGame g;
  ASSERT_TRUE(g.Start());
  g.game.state.CatchCount[0] = 1;
  g.model.QueueMenuChoice("mFishList");
  g.model.PressAt(100, kButtonRight);
  g.model.ReleaseAt(105, kButtonRight);
  PlatformEvent quit;
  quit.kind = PlatformEvent::Kind::QuitRequest;
  g.model.PostAt(300, quit);
  g.model.CallAt(200, [&] { EXPECT_TRUE(g.game.frmList.Visible()); });
  EXPECT_FALSE(g.RunUntil(1000));
  EXPECT_EQ(g.model.Elapsed(), 300u);
  EXPECT_EQ(ReadSetting(g.game, "Data", "Tyouka"), "001" + std::string(117, '0'));

  // A dialog on the screen closes by itself and the game plays on.
  ModelGame d;
  ASSERT_TRUE(d.Start());
  d.game.frm_Version.Show();
  d.model.CloseAt(100, WindowId::frm_Version);
  EXPECT_TRUE(d.RunUntil(1000));
  EXPECT_FALSE(d.game.frm_Version.IsLoaded());
  EXPECT_TRUE(d.model.JournalWith("write ").empty());
}

}  // namespace
}  // namespace marivo
