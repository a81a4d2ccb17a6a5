// The catch record: its path, the "Tyouka" text both ways, odd records as
// start-up reads them, the completion flag, and the move to the user's
// settings folder when the program's own folder cannot be written.
#include "catch/record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/model_fixture.h"

namespace marivo {
namespace {

namespace fs = std::filesystem;
using testing::FileText;
using testing::ModelGame;
using testing::PutFile;
using testing::TempDir;

std::array<std::int16_t, 46> Counts(std::initializer_list<std::int16_t> first) {
  std::array<std::int16_t, 46> counts{};
  std::size_t i = 0;
  for (std::int16_t c : first) counts[i++] = c;
  return counts;
}

TEST(RecordPath, AddsASeparatorOnlyWhenTheFolderLacksOne) {
  EXPECT_EQ(RecordPath("C:\\Games", "marivo2", '\\'), "C:\\Games\\marivo2.ini");
  EXPECT_EQ(RecordPath("D:\\", "marivo2", '\\'), "D:\\marivo2.ini");
  EXPECT_EQ(RecordPath("/opt/marivo2/", "marivo2", '/'), "/opt/marivo2/marivo2.ini");
}

TEST(TyoukaText, ThreeUpperCaseHexDigitsPerCreature) {
  EXPECT_EQ(TyoukaText(Counts({0, 1, 10, 255})), "00000100A0FF" + std::string(108, '0'));
  EXPECT_EQ(TyoukaText(Counts({4095})).substr(0, 3), "FFF");
  // A kind caught 4096 times or more must not read back as never caught.
  EXPECT_EQ(TyoukaText(Counts({4096, 4097, 32767})).substr(0, 9), "FFFFFFFFF");
  // Negative counts keep the last digits of their 16-bit form.
  EXPECT_EQ(TyoukaText(Counts({-1, -2})).substr(0, 6), "FFFFFE");
  // Only the forty creatures are written.
  auto jokes = Counts({});
  for (std::size_t i = 40; i < 46; ++i) jokes[i] = 7;
  EXPECT_EQ(TyoukaText(jokes), std::string(120, '0'));
}

// A game whose record file holds `content` before it starts.
struct StartedWith {
  explicit StartedWith(const std::string& content) {
    PutFile(g.RecordFile(), content);
    started = g.Start();
  }
  ModelGame g;
  bool started = false;
};

TEST(RecordRead, OddRecordsReadAsTheRulesSay) {
  {  // short: the missing fields are 0
    StartedWith r("[Data]\r\nTyouka=00100A\r\n");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.g.game.state.CatchCount[0], 1);
    EXPECT_EQ(r.g.game.state.CatchCount[1], 10);
    EXPECT_EQ(r.g.game.state.CatchCount[2], 0);
  }
  {  // long: only the first 120 characters count; 40 to 45 stay 0
    StartedWith r("[Data]\nTyouka=" + std::string(117, '0') + "0FF" + "123456\n");
    EXPECT_EQ(r.g.game.state.CatchCount[39], 255);
    EXPECT_EQ(r.g.game.state.CatchCount[40], 0);
  }
  {  // blank-prefixed: the blank removal shifts the fields
    StartedWith r("[Data]\nTyouka=   00100A\n");
    EXPECT_EQ(r.g.game.state.CatchCount[0], 1);
    EXPECT_EQ(r.g.game.state.CatchCount[1], 10);
  }
  {  // non-hexadecimal: digits up to the first other character
    StartedWith r("[Data]\nTyouka=1G0G10fffzzz\n");
    const auto& c = r.g.game.state.CatchCount;
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 4095);
    EXPECT_EQ(c[3], 0);
  }
  {  // duplicated keys and sections: the first wins
    StartedWith r("[Data]\nTyouka=002\nTyouka=003\n[Data]\nTyouka=004\n");
    EXPECT_EQ(r.g.game.state.CatchCount[0], 2);
  }
  {  // CR-only line ends
    StartedWith r("[Other]\rTyouka=009\r[Data]\rTyouka=005\rComplete=1\r");
    EXPECT_EQ(r.g.game.state.CatchCount[0], 5);
    EXPECT_TRUE(r.g.game.frmMenu.mComplete.Visible());
  }
  {  // garbage instead of a record
    StartedWith r(std::string("\xff\xfe[\0\0Data", 9) + std::string(5000, '='));
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.g.game.state.CatchCount[0], 0);
  }
}

TEST(RecordRead, CompleteMustBeExactlyOneAfterTheBlanksGo) {
  for (const auto& [value, shown] : std::vector<std::pair<std::string, bool>>{
           {"1", true}, {"1 ", true}, {" 1", true}, {"01", false}, {"", false}, {"yes", false}}) {
    StartedWith r("[Data]\nComplete=" + value + "\n");
    EXPECT_EQ(r.g.game.frmMenu.mComplete.Visible(), shown) << "'" << value << "'";
    EXPECT_EQ(r.g.game.frmMenu.sepx.Visible(), shown) << "'" << value << "'";
  }
}

TEST(RecordWrite, ARefusedWriteIsSurvivedReportedAndToldOnce) {
  TempDir dir;
  PutFile(dir.Path() / "file", "not a folder");
  ModelBackend::Options options;
  options.appPath = (dir.Path() / "file" / "sub").string();  // nobody can write here
  ModelGame g(options);
  ASSERT_TRUE(g.Start());
  EXPECT_FALSE(WriteSetting(g.game, "Data", "Complete", "1"));
  EXPECT_FALSE(SaveCatchCounts(g.game));
  const std::string path = (dir.Path() / "file" / "sub" / "marivo2.ini").string();
  EXPECT_EQ(g.model.Messages(), std::vector<std::string>{"釣果を保存できませんでした。\n" + path});
  EXPECT_EQ(g.game.record.failedSaves, 2);
  // The run still holds what it could not save.
  EXPECT_EQ(ReadSetting(g.game, "Data", "Complete"), "1");
  EXPECT_EQ(g.game.state.ExeName, "marivo2");
}

TEST(RecordWrite, AnUnwritableProgramFolderMovesTheRecordToTheUsersFolder) {
  TempDir dir;
  PutFile(dir.Path() / "file", "not a folder");
  ModelBackend::Options options;
  options.appPath = (dir.Path() / "file" / "sub").string();
  options.userSettingsDir = (dir.Path() / "config" / "marivo2").string();
  const fs::path perUser = dir.Path() / "config" / "marivo2" / "marivo2.ini";
  {
    ModelGame g(options);
    ASSERT_TRUE(g.Start());
    g.game.state.CatchCount[3] = 1;
    SaveCatchCounts(g.game);
    ASSERT_TRUE(fs::exists(perUser));
    EXPECT_EQ(ReadSetting(g.game, "Data", "Tyouka"),
              std::string(9, '0') + "001" + std::string(108, '0'));
  }
  ModelGame next(options);  // the next run finds it there
  ASSERT_TRUE(next.Start());
  EXPECT_EQ(next.game.state.CatchCount[3], 1);
}

TEST(RecordWrite, AReadOnlyRecordIsCarriedOverWholeAndThenUsed) {
  TempDir dir;
  const fs::path beside = dir.Path() / "app" / "marivo2.ini";
  fs::create_directories(beside.parent_path());
  PutFile(beside, "[Data]\r\nTyouka=00700" + std::string(115, '0') + "\r\n");
  ::chmod(beside.c_str(), 0444);
  ModelBackend::Options options;
  options.appPath = beside.parent_path().string();
  options.userSettingsDir = (dir.Path() / "user").string();
  {
    ModelGame g(options);
    ASSERT_TRUE(g.Start());
    EXPECT_EQ(g.game.state.CatchCount[0], 7);
    EXPECT_TRUE(WriteSetting(g.game, "Data", "Complete", "1"));
  }
  EXPECT_EQ(FileText(beside).find("Complete"), std::string::npos) << "the old file is untouched";
  ModelGame next(options);
  ASSERT_TRUE(next.Start());
  // Both the carried-over counts and the new flag come from the user's copy.
  EXPECT_EQ(next.game.state.CatchCount[0], 7);
  EXPECT_TRUE(next.game.frmMenu.mComplete.Visible());
  EXPECT_EQ(ActiveRecordPath(next.game), (dir.Path() / "user" / "marivo2.ini").string());
  // From now on writes go there too, even though nothing changed beside.
  next.game.state.CatchCount[1] = 2;
  SaveCatchCounts(next.game);
  EXPECT_NE(FileText(dir.Path() / "user" / "marivo2.ini").find("007002"), std::string::npos);
  ::chmod(beside.c_str(), 0644);
}

TEST(RecordWrite, AWritableProgramFolderKeepsTheRecordBesideIt) {
  TempDir user;
  ModelBackend::Options options;
  options.userSettingsDir = (user.Path() / "marivo2").string();
  ModelGame g(options);
  ASSERT_TRUE(g.Start());
  EXPECT_TRUE(WriteSetting(g.game, "Data", "Complete", "1"));
  EXPECT_TRUE(fs::exists(g.RecordFile()));
  EXPECT_FALSE(fs::exists(user.Path() / "marivo2"));
}

}  // namespace
}  // namespace marivo
