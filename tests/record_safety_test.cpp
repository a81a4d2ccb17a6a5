// Keeping the collection safe: each catch on disk as soon as it is
// counted, one record place per run, records that cannot be read left
// alone, one copy of the game at a time, the leftovers of interrupted
// writes, and a scene that follows the screen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "catch/mod_fish.h"
#include "catch/record.h"
#include "platform/profile.h"
#include "scene/mod_Subroutine.h"
#include "tests/cycle_support.h"

namespace marivo {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// A record whose first kinds hold `first` (three hex digits each).
std::string Record(const std::string& first, bool complete = false) {
  std::string text = "[Data]\r\nTyouka=" + first + std::string(120 - first.size(), '0') + "\r\n";
  if (complete) text += "Complete=1\r\n";
  return text;
}

// The program in <root>/app, the user's settings folder <root>/user/marivo2.
struct Places {
  explicit Places(const fs::path& root)
      : app(root / "app"),
        user(root / "user" / "marivo2"),
        beside(app / "marivo2.ini"),
        perUser(user / "marivo2.ini") {
    fs::create_directories(app);
  }
  ModelBackend::Options Options() const {
    ModelBackend::Options options;
    options.appPath = app.string();
    options.userSettingsDir = user.string();
    return options;
  }
  // No user's folder: the record beside the program is the only place.
  ModelBackend::Options BesideOnly() const {
    ModelBackend::Options options = Options();
    options.userSettingsDir.clear();
    return options;
  }
  fs::path app, user, beside, perUser;
};

// Lands a fish of kind `kind` at once, as the end of a fight does.
void LandKind(ModelGame& g, int kind) {
  PutFloatOnTheWater(g, 2000);
  double before = 0;
  for (int i = 0; i < kind; ++i) before += FishData(i).NearWeight;
  g.model.QueueDraws({static_cast<float>((before + 1) / 2844.0)});
  GameState& s = g.game.state;
  s.Busy = kTrue;
  s.Reeling = kTrue;
  s.FishRange = 13824;
  s.HookX = 0;
  Flag withCatch = kTrue;
  ASSERT_TRUE(Survives([&] { LandCatch(g.game, withCatch); }));
}

// Where the first journal line starting with `prefix` stands; -1 when none.
long FirstIndex(const ModelGame& g, const std::string& prefix) {
  const auto& journal = g.model.Journal();
  for (std::size_t i = 0; i < journal.size(); ++i) {
    if (journal[i].rfind(prefix, 0) == 0) return long(i);
  }
  return -1;
}

TEST(RecordSafety, ALandedCatchIsOnDiskBeforeItIsShownAndOutlivesARunThatDies) {
  TempDir root;
  Places places(root.Path());
  {
    ModelGame g(places.Options());
    ASSERT_TRUE(g.Start());
    g.model.ClearJournal();
    LandKind(g, 3);
    ASSERT_EQ(g.game.state.CatchCount[3], 1);
    EXPECT_EQ(FileText(places.beside), Record("000000000001"));
    // The catch's picture, then the save, then the catch comes into view.
    const long picture = FirstIndex(g, "picture frmFish ");
    const long save = FirstIndex(g, "write Data Tyouka=");
    const long shown = FirstIndex(g, "show frmFish");
    ASSERT_GE(picture, 0);
    EXPECT_LT(picture, save);
    EXPECT_LT(save, shown);
    // The run ends here without the exit item or a session end: a crash.
  }
  ModelGame next(places.Options());
  ASSERT_TRUE(next.Start());
  EXPECT_EQ(next.game.state.CatchCount[3], 1);

  // A joke catch is not stored, so it writes nothing.
  next.model.ClearJournal();
  LandKind(next, 42);
  EXPECT_EQ(next.game.state.CatchCount[42], 1);
  EXPECT_TRUE(next.model.JournalWith("write ").empty());
}

TEST(RecordPlace, OneFileChosenAtStartUpForEveryCombination) {
  {  // Beside, readable and writable: used, even with a per-user record.
    TempDir root;
    Places p(root.Path());
    PutFile(p.beside, Record("009"));
    PutFile(p.perUser, Record("001"));
    ModelGame g(p.Options());
    ASSERT_TRUE(g.Start());
    EXPECT_EQ(g.game.state.CatchCount[0], 9);
    LandKind(g, 1);
    EXPECT_EQ(FileText(p.beside), Record("009001"));
    EXPECT_EQ(FileText(p.perUser), Record("001")) << "the other place is left alone";
  }
  {  // Only the per-user record: it is the starting point beside the program.
    TempDir root;
    Places p(root.Path());
    PutFile(p.perUser, Record("005", true));
    ModelGame g(p.Options());
    ASSERT_TRUE(g.Start());
    EXPECT_EQ(g.game.state.CatchCount[0], 5);
    EXPECT_TRUE(g.game.frmMenu.mComplete.Visible());
    LandKind(g, 0);
    EXPECT_EQ(FileText(p.beside), Record("006", true));
    EXPECT_EQ(FileText(p.perUser), Record("005", true));
  }
  {  // Beside, read-only: the run keeps its record per user, carried over.
    TempDir root;
    Places p(root.Path());
    PutFile(p.beside, Record("00700A", true));
    ::chmod(p.beside.c_str(), 0444);
    const std::string before = FileText(p.beside);
    {
      ModelGame g(p.Options());
      ASSERT_TRUE(g.Start());
      EXPECT_EQ(ActiveRecordPath(g.game), p.perUser.string());
      LandKind(g, 2);
      EXPECT_EQ(FileText(p.perUser), Record("00700A001", true));
    }
    EXPECT_EQ(FileText(p.beside), before);
    ModelGame next(p.Options());  // and the next run finds the new catch
    ASSERT_TRUE(next.Start());
    EXPECT_EQ(next.game.state.CatchCount[2], 1);
    ::chmod(p.beside.c_str(), 0644);
  }
  {  // No program folder to write in (a path under a plain file): per user.
    TempDir root;
    Places p(root.Path());
    PutFile(root.Path() / "file", "not a folder");
    ModelBackend::Options options = p.Options();
    options.appPath = (root.Path() / "file" / "sub").string();
    ModelGame g(options);
    ASSERT_TRUE(g.Start());
    LandKind(g, 0);
    EXPECT_EQ(FileText(p.perUser), Record("001"));
  }
  {  // Neither place has a record: a new one beside the program.
    TempDir root;
    Places p(root.Path());
    ModelGame g(p.Options());
    ASSERT_TRUE(g.Start());
    EXPECT_FALSE(fs::exists(p.beside)) << "start-up alone writes nothing";
    LandKind(g, 0);
    EXPECT_TRUE(fs::exists(p.beside));
    EXPECT_FALSE(fs::exists(p.perUser));
  }
}

TEST(RecordPlace, TwoRecordsMergeIntoThisRunsPlaceAndTheOtherIsLeftAlone) {
  TempDir root;
  Places p(root.Path());
  PutFile(p.beside, Record("009000003"));
  PutFile(p.perUser, Record("001005000", true));
  const std::string perUser = FileText(p.perUser);
  ModelGame g(p.Options());
  ASSERT_TRUE(g.Start());
  const auto& c = g.game.state.CatchCount;
  EXPECT_EQ(std::vector<int>({c[0], c[1], c[2]}), std::vector<int>({9, 5, 3}));
  EXPECT_TRUE(g.game.frmMenu.mComplete.Visible());
  EXPECT_EQ(FileText(p.beside), Record("009005003", true));
  EXPECT_EQ(FileText(p.perUser), perUser);
}

// The record beside the program turns into a folder during the run.
void SpoilRecord(const Places& p) {
  fs::remove(p.beside);
  fs::create_directory(p.beside);
}

// The whole program, ended by its exit item: its exit status.
int RunToExit(const ModelBackend::Options& options) {
  ModelBackend model(options);
  model.QueueMenuChoice("mend");
  model.PressAt(1000, kButtonRight);
  model.ReleaseAt(1010, kButtonRight);
  return RunGame(model);
}

TEST(RecordSafety, TheProgramEndsInFailureWhenTheExitCouldNotSaveTheCollection) {
  TempDir root;
  Places p(root.Path());
  PutFile(p.beside, Record("002"));
  EXPECT_EQ(RunToExit(p.BesideOnly()), 0);
  EXPECT_EQ(FileText(p.beside), Record("002"));
  SpoilRecord(p);
  EXPECT_EQ(RunToExit(p.BesideOnly()), 3);
}

TEST(RecordSafety, AFailedSaveMovesTheWholeCollectionToTheOtherPlace) {
  TempDir root;
  Places p(root.Path());
  PutFile(p.beside, Record("002", true));
  ModelGame g(p.Options());
  ASSERT_TRUE(g.Start());
  SpoilRecord(p);
  LandKind(g, 1);
  EXPECT_EQ(FileText(p.perUser), Record("002001", true));
  EXPECT_EQ(ActiveRecordPath(g.game), p.perUser.string()) << "and later saves go there too";
  LandKind(g, 1);
  EXPECT_EQ(FileText(p.perUser), Record("002002", true));
  EXPECT_TRUE(g.model.Messages().empty()) << "nothing was lost, nothing to tell";
  EXPECT_TRUE(fs::is_directory(p.beside));
}

TEST(RecordSafety, ASaveNoPlaceTakesIsToldOnceTheLandingGoesOnAndTheExitSavesAll) {
  TempDir root;
  Places p(root.Path());
  PutFile(p.beside, Record("002"));
  ModelGame g(p.BesideOnly());
  ASSERT_TRUE(g.Start());
  SpoilRecord(p);
  g.model.ClearJournal();
  LandKind(g, 1);
  const std::string told = std::string(kSaveFailedMessage) + "\n" + p.beside.string();
  EXPECT_EQ(g.model.Messages(), std::vector<std::string>{told});
  // The box came up before the catch did, and the landing went on to its end.
  EXPECT_LT(FirstIndex(g, "message "), FirstIndex(g, "show frmFish"));
  EXPECT_GE(FirstIndex(g, "text frmC " + FishName(1)), 0);
  EXPECT_FALSE(g.game.frmFish.IsLoaded());
  EXPECT_EQ(g.game.state.Busy, kFalse);
  LandKind(g, 2);
  EXPECT_EQ(g.model.Messages().size(), 1u) << "told once per run";
  EXPECT_EQ(g.game.record.failedSaves, 2);
  EXPECT_EQ(g.game.state.CatchCount[1] + g.game.state.CatchCount[2], 2);
  // The place is fit again: the exit item's save brings the whole run home.
  fs::remove(p.beside);
  g.model.QueueMenuChoice("mend");
  g.model.PressAt(g.model.Elapsed() + 10, kButtonRight);
  g.model.ReleaseAt(g.model.Elapsed() + 15, kButtonRight);
  EXPECT_FALSE(g.RunFor(1000));
  EXPECT_EQ(FileText(p.beside), Record("002001001"));

  // At the session's end nobody is there to answer a box: a failed save
  // ends the run quietly.
  ModelGame ending(p.BesideOnly());
  ASSERT_TRUE(ending.Start());
  SpoilRecord(p);
  ending.model.SessionEndAt(ending.model.Elapsed() + 10);
  EXPECT_FALSE(ending.RunFor(1000));
  EXPECT_TRUE(ending.model.Messages().empty());
}

TEST(RecordSafety, ARecordLinkedToNothingUsefulSendsTheRunToTheOtherPlace) {
  TempDir root;
  Places p(root.Path());
  fs::create_symlink("/dev/null", p.beside);
  ModelGame g(p.Options());
  ASSERT_TRUE(g.Start());
  LandKind(g, 0);
  EXPECT_EQ(FileText(p.perUser), Record("001"));
  EXPECT_TRUE(fs::is_symlink(p.beside));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// A small file system of its own (root only), to fill to the last byte.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path& at) : at_(at) {
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  // Writes a filler until the disk refuses another byte.
  void Fill() const {
    const int fd = ::open((at_ / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
  }

 private:
  fs::path at_;
  bool mounted_ = false;
};

TEST(RecordSafety, AFullDiskKeepsTheOldRecordWholeAndTheCatchGoesElsewhereOrIsTold) {
  TempDir root;
  Places p(root.Path());
  SmallDisk disk(p.app);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  PutFile(p.beside, Record("002"));
  auto onlyRecordAndFiller = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(p.app)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names == std::vector<std::string>{"filler", "marivo2.ini"};
  };
  {
    ModelGame g(p.Options());
    ASSERT_TRUE(g.Start());
    disk.Fill();
    LandKind(g, 1);
    EXPECT_EQ(FileText(p.beside), Record("002"));
    EXPECT_TRUE(onlyRecordAndFiller()) << "no temporary is left on the full disk";
    EXPECT_EQ(FileText(p.perUser), Record("002001"));
    EXPECT_TRUE(g.model.Messages().empty());
  }
  fs::remove(p.perUser);
  fs::remove(p.app / "filler");
  ModelGame g(p.BesideOnly());
  ASSERT_TRUE(g.Start());
  disk.Fill();
  LandKind(g, 3);
  EXPECT_EQ(g.model.Messages().size(), 1u);
  EXPECT_EQ(FileText(p.beside), Record("002"));
  EXPECT_TRUE(onlyRecordAndFiller());
  fs::remove(p.app / "filler");  // room again: the next landing saves the run
  LandKind(g, 3);
  EXPECT_EQ(FileText(p.beside), Record("002000000002"));
}

// These need file modes to mean something: run as an unprivileged user
// (the record_permissions test does that); as root they skip.
class RecordPermissions : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores file modes; see record_permissions";
  }
};

TEST_F(RecordPermissions, AnUnreadableRecordIsLeftByteForByteAndTheRunKeepsItsCatchesPerUser) {
  TempDir root;
  Places p(root.Path());
  PutFile(p.beside, Record("0FF", true));
  ::chmod(p.beside.c_str(), 0200);
  {
    ModelGame g(p.Options());
    ASSERT_TRUE(g.Start());
    EXPECT_EQ(ActiveRecordPath(g.game), p.perUser.string());
    LandKind(g, 4);
    SaveCatchCounts(g.game);  // the exit item's write
  }
  ::chmod(p.beside.c_str(), 0600);
  EXPECT_EQ(FileText(p.beside), Record("0FF", true));
  EXPECT_EQ(FileText(p.perUser), Record("000000000000001"));
}

TEST_F(RecordPermissions, AFolderThatTurnsReadOnlyMidRunSendsTheCollectionToTheUsersFolder) {
  TempDir root;
  Places p(root.Path());
  PutFile(p.beside, Record("002"));
  {
    ModelGame g(p.Options());
    ASSERT_TRUE(g.Start());
    ::chmod(p.app.c_str(), 0555);
    LandKind(g, 1);
    EXPECT_TRUE(g.model.Messages().empty());
  }
  ::chmod(p.app.c_str(), 0755);
  EXPECT_EQ(FileText(p.beside), Record("002"));
  EXPECT_EQ(FileText(p.perUser), Record("002001"));
}

TEST_F(RecordPermissions, TheSettingsWriterRefusesToRewriteAFileItCannotRead) {
  TempDir root;
  const fs::path file = root.Path() / "marivo2.ini";
  PutFile(file, Record("123", true));
  ::chmod(file.c_str(), 0200);
  EXPECT_FALSE(profile::Write("Data", "Tyouka", std::string(120, '0'), file.string()));
  ::chmod(file.c_str(), 0600);
  EXPECT_EQ(FileText(file), Record("123", true));
}

TEST_F(RecordPermissions, AReadOnlyProgramFolderSendsTheRecordToTheUsersFolder) {
  TempDir root;
  Places p(root.Path());
  ::chmod(p.app.c_str(), 0555);
  {
    ModelGame g(p.Options());
    ASSERT_TRUE(g.Start());
    LandKind(g, 0);
  }
  ::chmod(p.app.c_str(), 0755);
  EXPECT_FALSE(fs::exists(p.beside));
  EXPECT_EQ(FileText(p.perUser), Record("001"));
}

TEST(RecordWriter, LeftoversOfAnInterruptedWriteGoAtTheNextWriteAndNothingElseDoes) {
  TempDir root;
  const fs::path file = root.Path() / "marivo2.ini";
  PutFile(file, Record("001"));
  const std::vector<std::string> stale = {".marivo2.ini.saving-a1B2c3",
                                          ".marivo2.ini.saving-ZZZZZZ"};
  // A person's own backups, the names of older writers and near misses.
  const std::vector<std::string> kept = {
      "marivo2.ini.backup",          "marivo2.ini.a1B2c3",         "marivo2.ini.bak",
      ".marivo2.ini.saving-a1B2c3d", ".marivo2.ini.saving-a1-2c3", ".other.ini.saving-a1B2c3",
      "marivo2.ini.saving-a1B2c3",   ".marivo2.ini.savingXa1B2c3"};
  for (const auto& name : stale) PutFile(root.Path() / name, "half a record");
  for (const auto& name : kept) PutFile(root.Path() / name, "someone else's");
  fs::create_directory(root.Path() / ".marivo2.ini.saving-folder");
  ASSERT_TRUE(profile::Write("Data", "Complete", "1", file.string()));
  for (const auto& name : stale) EXPECT_FALSE(fs::exists(root.Path() / name)) << name;
  for (const auto& name : kept) EXPECT_EQ(FileText(root.Path() / name), "someone else's") << name;
  EXPECT_TRUE(fs::is_directory(root.Path() / ".marivo2.ini.saving-folder"));
  EXPECT_EQ(FileText(file), Record("001", true));
}

TEST(OneCopy, ASecondStartSaysSoAndEndsWithoutASceneOrTouchingTheRecord) {
  TempDir root;
  Places p(root.Path());
  PutFile(p.beside, Record("002"));
  ModelBackend::Options options = p.Options();
  options.lockDir = (root.Path() / "run").string();
  ModelGame first(options);
  ASSERT_TRUE(first.Start());
  {
    ModelGame second(options);
    EXPECT_FALSE(second.Start());
    EXPECT_TRUE(second.game.RefusedAsSecondCopy());
    EXPECT_EQ(second.model.Messages(),
              std::vector<std::string>{"マリヴォ２はすでに起動しています。"});
    EXPECT_FALSE(second.game.frmMan.IsLoaded());
    EXPECT_FALSE(second.game.frmCon.IsLoaded());
    EXPECT_TRUE(second.model.JournalWith("write ").empty());
    EXPECT_EQ(second.model.JournalWith("load "), std::vector<std::string>{});
    EXPECT_TRUE(second.model.Ended());
    // Its counts were never read: a save of them (a logoff while its box
    // was up) would wipe the first copy's record.
    EXPECT_FALSE(SaveCatchCounts(second.game, false));
  }
  EXPECT_EQ(FileText(p.beside), Record("002"));
  EXPECT_TRUE(first.RunFor(2000)) << "the first copy plays on";
}

TEST(OneCopy, ALockLeftByACopyThatDiedDoesNotKeepTheGameFromStarting) {
  TempDir root;
  ModelBackend::Options options;
  options.lockDir = (root.Path() / "run").string();
  // What a crashed copy leaves: the file, with nobody holding its lock.
  PutFile(root.Path() / "run" / "marivo2.lock", "4194303\n");
  {
    ModelGame g(options);
    EXPECT_TRUE(g.Start());
  }
  ModelGame again(options);  // and a copy that ended normally leaves none
  EXPECT_TRUE(again.Start());
  EXPECT_FALSE(again.game.RefusedAsSecondCopy());
}

ScreenInfo Screen(int width, int height, int taskBar) {
  ScreenInfo s;
  s.widthPx = width;
  s.heightPx = height;
  s.fullScreenClientHeight = height - taskBar - s.captionHeight;
  return s;
}

void ExpectSceneOn(ModelGame& g, double bottom, double width) {
  Game& game = g.game;
  EXPECT_EQ(game.state.ScreenBottom, bottom);
  EXPECT_EQ(game.frmCon.Top() + game.frmCon.Height(), bottom);
  EXPECT_EQ(game.frmCon.Left(), 0);
  EXPECT_EQ(game.frmMan.Top() + game.frmMan.Height(), bottom);
  EXPECT_EQ(game.frmMan.Left(), game.frmCon.Width());
  EXPECT_EQ(game.frmSea.Top() + game.frmSea.Height(), bottom);
  EXPECT_EQ(game.frmSea.Width(), width);
}

TEST(ScreenChange, AnIdleSceneMovesAtOnceABusyOneOnceItIsIdleAgain) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  ExpectSceneOn(g, 15.0 * 738, 15.0 * 1024);

  // A bigger screen with a taller task bar: the scene moves there at once.
  g.model.ScreenChangeAt(g.model.Elapsed() + 100, Screen(1280, 800, 48));
  ASSERT_TRUE(g.RunFor(200));
  ExpectSceneOn(g, 15.0 * 752, 15.0 * 1280);

  // Mid-fight the scene stays put; the clock's next second after the game
  // is idle again brings it onto the new edge.
  g.game.state.Busy = kTrue;
  g.model.ScreenChangeAt(g.model.Elapsed() + 100, Screen(1024, 768, 30));
  ASSERT_TRUE(g.RunFor(2500));
  ExpectSceneOn(g, 15.0 * 752, 15.0 * 1280);
  g.game.state.Busy = kFalse;
  ASSERT_TRUE(g.RunFor(1100));
  ExpectSceneOn(g, 15.0 * 738, 15.0 * 1024);
}

TEST(ScreenChange, AFloatWaitingOnTheWaterMovesWithTheSea) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000);
  const double top = uki.Top();
  g.model.ScreenChangeAt(g.model.Elapsed() + 50, Screen(1024, 768, 60));
  ASSERT_TRUE(g.RunFor(100));
  EXPECT_EQ(uki.ntop, kRestingTop - 30 * 15);
  EXPECT_EQ(uki.Top(), top - 30 * 15);
  EXPECT_EQ(uki.Left(), 4000);
}

}  // namespace
}  // namespace marivo
