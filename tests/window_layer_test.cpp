// The window layer's own promises, on the model: loading on first use,
// design values, twips, timers and their nesting, modal loops, End.
#include <gtest/gtest.h>

#include <vector>

#include "platform/arith.h"
#include "platform/model/model_backend.h"
#include "platform/paths.h"
#include "platform/platform.h"

namespace marivo {
namespace {

// A stand-in for a game window with three timers (the control bar's design).
class ProbeWindow final : public Form {
 public:
  explicit ProbeWindow(Platform& p) : Form(p, WindowId::frmCon) {}
  Timer Timer1{*this, "Timer1"};
  Timer Timer2{*this, "Timer2"};
  Timer Timer3{*this, "Timer3"};
  int loads = 0;
  std::vector<std::string> ticks;
  std::function<void(Timer&)> onTick;

 protected:
  void OnLoad() override {
    ++loads;
    Timer2.SetEnabled(false);  // keep the design's clock timer quiet
  }
  void OnTimer(Timer& t) override {
    ticks.push_back(std::string(t.Name()) + "@" + std::to_string(GetPlatform().TickCount()));
    if (onTick) onTick(t);
  }
};

struct Rig {
  explicit Rig(ModelBackend::Options o = {}) : model(o), platform(model), probe(platform) {}
  // Pumps until `ms` virtual milliseconds have passed.
  void Run(std::uint32_t ms) {
    const std::uint32_t deadline = platform.TickCount() + ms;
    while (static_cast<std::int32_t>(platform.TickCount() - deadline) < 0) {
      platform.PumpUntil(deadline);
    }
  }
  ModelBackend model;
  Platform platform;
  ProbeWindow probe;
};

TEST(WindowLayer, FirstUseLoadsWithDesignValuesAndUnloadResets) {
  Rig rig;
  EXPECT_FALSE(rig.probe.IsLoaded());
  // Design client 3855 x 195 twips plus the thin border of one pixel a side.
  EXPECT_DOUBLE_EQ(rig.probe.Width(), 3855 + 2 * 15);
  EXPECT_TRUE(rig.probe.IsLoaded());
  EXPECT_EQ(rig.probe.loads, 1);
  EXPECT_FALSE(rig.probe.Visible());

  rig.probe.SetWidth(1250.0);
  rig.probe.SetLeft(7.5);
  EXPECT_DOUBLE_EQ(rig.probe.Width(), 1250.0);
  EXPECT_DOUBLE_EQ(rig.probe.Left(), 7.5);                 // twips are kept exactly
  EXPECT_EQ(rig.model.Find(WindowId::frmCon)->width, 83);  // only the native window rounds

  rig.probe.Unload();
  EXPECT_FALSE(rig.probe.IsLoaded());
  EXPECT_EQ(rig.model.Find(WindowId::frmCon), nullptr);
  rig.probe.Unload();  // unloading twice does nothing

  // A control's use loads the window afresh, with design values again.
  EXPECT_FALSE(rig.probe.Timer1.Enabled());
  EXPECT_EQ(rig.probe.loads, 2);
  EXPECT_DOUBLE_EQ(rig.probe.Width(), 3855 + 2 * 15);
  EXPECT_DOUBLE_EQ(rig.probe.Left(), 0.0);
}

TEST(WindowLayer, TimersFireInDeadlineOrderWithTiesByCreation) {
  Rig rig;
  rig.probe.Load();
  const std::uint32_t t0 = rig.platform.TickCount();
  rig.probe.Timer3.SetInterval(30);
  rig.probe.Timer1.SetInterval(30);
  rig.probe.Timer3.SetEnabled(true);
  rig.probe.Timer1.SetEnabled(true);
  rig.Run(65);
  ASSERT_EQ(rig.probe.ticks.size(), 4u);
  // Timer1 was created before Timer3, so it goes first when both are due.
  EXPECT_EQ(rig.probe.ticks[0], "Timer1@" + std::to_string(t0 + 30));
  EXPECT_EQ(rig.probe.ticks[1], "Timer3@" + std::to_string(t0 + 30));
  EXPECT_EQ(rig.probe.ticks[2], "Timer1@" + std::to_string(t0 + 60));
}

TEST(WindowLayer, SwitchingATimerOnRestartsItsInterval) {
  Rig rig;
  rig.probe.Load();
  const std::uint32_t t0 = rig.platform.TickCount();
  rig.probe.Timer1.SetInterval(100);
  rig.probe.Timer1.SetEnabled(true);
  rig.Run(70);
  rig.probe.Timer1.SetEnabled(false);
  rig.probe.Timer1.SetEnabled(true);  // at t0 + 70: the next tick is 100 ms later
  rig.Run(150);
  ASSERT_FALSE(rig.probe.ticks.empty());
  EXPECT_EQ(rig.probe.ticks[0], "Timer1@" + std::to_string(t0 + 170));
}

TEST(WindowLayer, TimerSwitchedOnInItsOwnHandlerFiresNestedInsideIt) {
  Rig rig;
  rig.probe.Load();
  int depth = 0, deepest = 0, calls = 0;
  rig.probe.onTick = [&](Timer& t) {
    ++calls;
    ++depth;
    deepest = std::max(deepest, depth);
    if (calls == 1) {
      t.SetEnabled(false);
      t.SetEnabled(true);
      // Pump for 250 ms inside the handler: the timer fires inside.
      const std::uint32_t until = rig.platform.TickCount() + 250;
      while (static_cast<std::int32_t>(rig.platform.TickCount() - until) < 0) {
        rig.platform.PumpUntil(until);
      }
    } else {
      t.SetEnabled(false);
    }
    --depth;
  };
  rig.probe.Timer1.SetInterval(200);
  rig.probe.Timer1.SetEnabled(true);
  rig.Run(600);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(deepest, 2);
}

TEST(WindowLayer, TimerNotSwitchedOnAgainDoesNotReenterItsHandler) {
  Rig rig;
  rig.probe.Load();
  int depth = 0, deepest = 0, calls = 0;
  rig.probe.onTick = [&](Timer&) {
    ++calls;
    ++depth;
    deepest = std::max(deepest, depth);
    const std::uint32_t until = rig.platform.TickCount() + 95;
    while (static_cast<std::int32_t>(rig.platform.TickCount() - until) < 0) {
      rig.platform.PumpUntil(until);
    }
    --depth;
  };
  rig.probe.Timer1.SetInterval(20);
  rig.probe.Timer1.SetEnabled(true);
  rig.Run(300);
  EXPECT_EQ(deepest, 1);
  EXPECT_GE(calls, 2);
}

TEST(WindowLayer, UnloadInsideAHandlerLeavesTheObjectUsable) {
  Rig rig;
  rig.probe.Load();
  rig.probe.onTick = [&](Timer& t) {
    rig.probe.Unload();
    // The handler is still on the stack; touching the window loads it again.
    EXPECT_FALSE(t.Enabled());
    EXPECT_TRUE(rig.probe.IsLoaded());
  };
  rig.probe.Timer1.SetInterval(10);
  rig.probe.Timer1.SetEnabled(true);
  rig.Run(50);
  EXPECT_EQ(rig.probe.loads, 2);
  EXPECT_EQ(rig.probe.ticks.size(), 1u);
}

TEST(WindowLayer, PumpBlocksUntilTheDeadlineWhenNothingIsDue) {
  Rig rig;
  const std::uint32_t t0 = rig.platform.TickCount();
  rig.platform.PumpUntil(t0 + 500);
  EXPECT_EQ(rig.platform.TickCount(), t0 + 500);
  // A scripted press comes first: the pump wakes for it and runs it.
  rig.model.PressAt(rig.model.Elapsed() + 40);
  rig.platform.PumpUntil(t0 + 2000);
  EXPECT_EQ(rig.platform.TickCount(), t0 + 540);
}

TEST(WindowLayer, ClockStartedJustBeforeTheWrapKeepsCounting) {
  ModelBackend::Options o;
  o.startTick = 0xFFFFFF00u;
  Rig rig(o);
  rig.probe.Load();
  rig.probe.Timer1.SetInterval(100);
  rig.probe.Timer1.SetEnabled(true);
  rig.Run(1000);
  // Ten ticks, the wrap (at 256 ms) notwithstanding.
  EXPECT_EQ(rig.probe.ticks.size(), 10u);
  EXPECT_EQ(rig.platform.TickCount(), 0xFFFFFF00u + 1000u);
}

class DialogProbe final : public Form {
 public:
  explicit DialogProbe(Platform& p) : Form(p, WindowId::frm_Version) {}
  CommandButton Command1{*this, "Command1"};

 protected:
  void OnClick(Control& c) override {
    if (&c == &Command1) Unload();
  }
};

TEST(WindowLayer, ModalShowReturnsWhenTheWindowCloses) {
  ModelBackend model;
  Platform platform(model);
  ProbeWindow bar(platform);
  DialogProbe dialog(platform);
  bar.Load();
  bar.Timer1.SetInterval(100);
  bar.Timer1.SetEnabled(true);
  model.ClickAt(model.Elapsed() + 1000, WindowId::frm_Version, dialog.Command1.Slot());
  dialog.Show(true);
  EXPECT_FALSE(dialog.IsLoaded());
  EXPECT_EQ(model.Elapsed(), 1000u);
  // The other windows' timers kept running meanwhile.
  EXPECT_EQ(bar.ticks.size(), 10u);
}

TEST(WindowLayer, EndClosesEverythingAndUnwinds) {
  Rig rig;
  rig.probe.Show();
  rig.probe.onTick = [&](Timer&) { rig.platform.End(); };
  rig.probe.Timer1.SetInterval(10);
  rig.probe.Timer1.SetEnabled(true);
  EXPECT_THROW(rig.Run(100), ProgramEnded);
  EXPECT_TRUE(rig.model.Ended());
  EXPECT_EQ(rig.model.Find(WindowId::frmCon), nullptr);
  EXPECT_THROW(rig.platform.DoEvents(), ProgramEnded);
}

TEST(WindowLayer, RegionRecordsAreCheckedLikeTheDesktopDoes) {
  Rig rig;
  struct {
    std::uint32_t header[4];
    std::int32_t bound[4];
    std::int32_t rect[4];
  } rec = {{32, 1, 1, 16}, {0, 0, 4, 4}, {0, 0, 4, 4}};
  EXPECT_EQ(rig.probe.SetShape(&rec, 48, 1), ShapeResult::Ok);
  EXPECT_EQ(rig.probe.SetShape(&rec, 40, 1), ShapeResult::RegionFailed);  // cut short
  std::uint32_t empty[8] = {};
  EXPECT_EQ(rig.probe.SetShape(empty, 0, 60), ShapeResult::RegionFailed);
  rig.model.RefuseNextShape();
  EXPECT_EQ(rig.probe.SetShape(&rec, 48, 1), ShapeResult::WindowRefused);
}

// The small helpers every backend shares.
TEST(WindowLayer, EachSystemFindsTheFolderAndNameOfAPathAlike) {
  EXPECT_EQ(FolderOf("/home/u/.config/marivo2/marivo2.ini"), "/home/u/.config/marivo2");
  EXPECT_EQ(FolderOf("/marivo2.ini"), "/");
  EXPECT_EQ(FolderOf("marivo2.ini"), ".");
  EXPECT_EQ(FolderOf("games/a\\b.ini"), "games");  // a backslash is part of a Linux name
  EXPECT_EQ(FolderOf("C:\\Games\\marivo2.ini", PathStyle::Windows), "C:\\Games");
  EXPECT_EQ(FolderOf("C:/Games/marivo2.ini", PathStyle::Windows), "C:/Games");
  EXPECT_EQ(FolderOf("D:\\marivo2.ini", PathStyle::Windows), "D:\\");  // the root, not "D:"
  EXPECT_EQ(FolderOf("\\marivo2.ini", PathStyle::Windows), "\\");
  EXPECT_EQ(FolderOf("marivo2.ini", PathStyle::Windows), ".");
  // And the name after the folder.
  EXPECT_EQ(NameOf("/home/u/.config/marivo2/marivo2.ini"), "marivo2.ini");
  EXPECT_EQ(NameOf("marivo2.ini"), "marivo2.ini");
  EXPECT_EQ(NameOf("games/a\\b.ini"), "a\\b.ini");
  EXPECT_EQ(NameOf("C:\\Games/sub\\marivo2.ini", PathStyle::Windows), "marivo2.ini");
  EXPECT_EQ(NameOf("D:\\", PathStyle::Windows), "");
}

TEST(WindowLayer, ScaleFactorsRoundHalvesUpUnlikeTheGame) {
  EXPECT_EQ(NearestHalfUp(1.25), 1);
  EXPECT_EQ(NearestHalfUp(1.5), 2);
  EXPECT_EQ(NearestHalfUp(2.5), 3);
  EXPECT_EQ(Nearest(2.5), 2);  // the game's own rounding goes to the even neighbour
  EXPECT_EQ(NearestHalfUp(2.49), 2);
  EXPECT_EQ(NearestHalfUp(0.5), 1);
}

}  // namespace
}  // namespace marivo
