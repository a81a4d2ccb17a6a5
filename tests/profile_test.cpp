// Our own settings-file reader and writer: the reading rules, writes that
// keep everything else in the file, atomic replacement, refused writes
// reported as such, byte-order marks, links, modes, and content no file
// should hold.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "tests/model_fixture.h"

namespace marivo {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class ProfileFile : public ::testing::Test {
 protected:
  std::string Path() const { return (dir_.Path() / "marivo2.ini").string(); }
  void Put(const std::string& content) const {
    std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
    out << content;
  }
  std::string Content() const {
    std::ifstream in(Path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Read(const std::string& section, const std::string& key) const {
    return profile::Read(section, key, Path());
  }
  TempDir dir_;
};

TEST_F(ProfileFile, MatchesNamesWithoutCaseAndDropsBlanksAndOnePairOfQuotes) {
  Put("[Data]\r\n  tyouka =  00A0FF  \r\nComplete=\"1\"\r\nq='a'\r\nqq=\"\"x\"\"\r\n"
      "half=\"abc\r\nmixed='abc\"\r\n");
  EXPECT_EQ(Read("data", "TYOUKA"), "00A0FF");
  EXPECT_EQ(Read(" Data ", "Tyouka"), "00A0FF");
  EXPECT_EQ(Read("Data", "Complete"), "1");
  EXPECT_EQ(Read("Data", "q"), "a");
  EXPECT_EQ(Read("Data", "qq"), "\"x\"");  // only the outer pair goes
  EXPECT_EQ(Read("Data", "half"), "\"abc");
  EXPECT_EQ(Read("Data", "mixed"), "'abc\"");
}

TEST_F(ProfileFile, TheFirstSectionAndTheFirstKeyWin) {
  Put("[Data]\nTyouka=first\nTyouka=second\n[DATA]\nTyouka=third\nOther=x\n");
  EXPECT_EQ(Read("Data", "Tyouka"), "first");
  // A key of the second, duplicated section is not seen.
  EXPECT_EQ(Read("Data", "Other"), "");
}

TEST_F(ProfileFile, KeysBeforeAnySectionBelongToNone) {
  Put("Tyouka=loose\n[Data]\nComplete=1\n");
  EXPECT_EQ(Read("Data", "Tyouka"), "");
  EXPECT_EQ(Read("", "Tyouka"), "");
}

TEST_F(ProfileFile, ReadsCrOnlyLfOnlyAndMixedLineEnds) {
  for (const std::string eol : {"\r", "\n", "\r\n"}) {
    Put("[Other]" + eol + "Tyouka=no" + eol + "[Data]" + eol + "Tyouka=yes" + eol + "Complete=1");
    EXPECT_EQ(Read("Data", "Tyouka"), "yes");
    EXPECT_EQ(Read("Data", "Complete"), "1");
  }
  Put("[Data]\rA=1\nB=2\r\nC=3");
  EXPECT_EQ(Read("Data", "A") + Read("Data", "B") + Read("Data", "C"), "123");
}

TEST_F(ProfileFile, CutsAValueAt510Characters) {
  Put("[Data]\nTyouka=" + std::string(600, '7') + "\n");
  EXPECT_EQ(Read("Data", "Tyouka"), std::string(510, '7'));
}

TEST_F(ProfileFile, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(Read("Data", "Tyouka"), "");
  Put("[Data]\nComplete=1\n");
  EXPECT_EQ(Read("Nope", "Complete"), "");
  EXPECT_EQ(Read("Data", "Tyouka"), "");
  EXPECT_EQ(profile::Read("Data", "Complete", dir_.Path().string()), "");  // a folder
}

TEST_F(ProfileFile, WritingCreatesTheFileAndReadsBack) {
  ASSERT_TRUE(profile::Write("Data", "Tyouka", "00100A", Path()));
  EXPECT_EQ(Content(), "[Data]\r\nTyouka=00100A\r\n");
  ASSERT_TRUE(profile::Write("Data", "Complete", "1", Path()));
  ASSERT_TRUE(profile::Write("Data", "Tyouka", "FFF", Path()));
  EXPECT_EQ(Content(), "[Data]\r\nTyouka=FFF\r\nComplete=1\r\n");
}

TEST_F(ProfileFile, WritingKeepsEveryOtherLineAndTheFileLineEnds) {
  Put("; kept\n[Before]\nx=1\n\n[data]\n  TYOUKA = old \nComplete=1\n\n[After]\ny=2");
  ASSERT_TRUE(profile::Write("Data", "Tyouka", "new", Path()));
  EXPECT_EQ(Content(), "; kept\n[Before]\nx=1\n\n[data]\nTyouka=new\nComplete=1\n\n[After]\ny=2");
  // A new key goes after the section's last line, before its blank lines.
  ASSERT_TRUE(profile::Write("Data", "Extra", "e", Path()));
  EXPECT_EQ(Content(),
            "; kept\n[Before]\nx=1\n\n[data]\nTyouka=new\nComplete=1\nExtra=e\n\n[After]\ny=2");
  // A new section is appended; the unterminated last line gets its end.
  ASSERT_TRUE(profile::Write("New", "k", "v", Path()));
  EXPECT_EQ(Read("After", "y"), "2");
  EXPECT_EQ(Read("New", "k"), "v");
  EXPECT_NE(Content().find("y=2\n[New]\nk=v\n"), std::string::npos);
}

TEST_F(ProfileFile, OnlyTheFirstOfDuplicatedKeysIsReplaced) {
  Put("[Data]\r\nTyouka=a\r\nTyouka=b\r\n");
  ASSERT_TRUE(profile::Write("Data", "Tyouka", "c", Path()));
  EXPECT_EQ(Content(), "[Data]\r\nTyouka=c\r\nTyouka=b\r\n");
  EXPECT_EQ(Read("Data", "Tyouka"), "c");
}

TEST_F(ProfileFile, AWriteReplacesTheFileWholeAndLeavesNothingBeside) {
  Put("[Data]\nTyouka=old\n");
  const auto before = fs::status(Path()).permissions();
  ASSERT_TRUE(profile::Write("Data", "Tyouka", "new", Path()));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1) << "no temporary file is left behind";
  EXPECT_EQ(fs::status(Path()).permissions(), before);
}

TEST_F(ProfileFile, RefusedWritesReportFailureAndKeepTheOldContent) {
  // A folder that does not exist (its parent is a file, so nobody can
  // create it).
  Put("[Data]\nTyouka=old\n");
  EXPECT_FALSE(profile::Write("Data", "Tyouka", "x", Path() + "/sub/marivo2.ini"));
  // A file marked read-only.
  ::chmod(Path().c_str(), 0444);
  EXPECT_FALSE(profile::Write("Data", "Tyouka", "new", Path()));
  ::chmod(Path().c_str(), 0644);
  EXPECT_EQ(Content(), "[Data]\nTyouka=old\n");
  // Names and values that would break the line structure.
  EXPECT_FALSE(profile::Write("Data", "Tyouka", "a\r\n[Evil]\r\nx=1", Path()));
  EXPECT_FALSE(profile::Write("Data", "a=b", "1", Path()));
  EXPECT_FALSE(profile::Write("Da]ta", "k", "1", Path()));
  EXPECT_FALSE(profile::Write("Data", " ", "1", Path()));
  EXPECT_EQ(Content(), "[Data]\nTyouka=old\n");
}

TEST_F(ProfileFile, AByteOrderMarkIsReadThroughAndKept) {
  Put("\xEF\xBB\xBF[Data]\r\nTyouka=005\r\nComplete=1\r\n");
  EXPECT_EQ(Read("Data", "Tyouka"), "005");
  ASSERT_TRUE(profile::Write("Data", "Tyouka", "006", Path()));
  EXPECT_EQ(Content(), "\xEF\xBB\xBF[Data]\r\nTyouka=006\r\nComplete=1\r\n");
  // A mark anywhere else is just bytes of the line.
  Put("[Data]\r\n\xEF\xBB\xBFTyouka=005\r\n");
  EXPECT_EQ(Read("Data", "Tyouka"), "");
}

TEST_F(ProfileFile, LinksAreWrittenWhereTheyLeadAndNothingButAFileIsWrittenOver) {
  const fs::path app = dir_.Path() / "app";
  const fs::path dotfiles = dir_.Path() / "dotfiles";
  fs::create_directories(app);
  fs::create_directories(dotfiles);
  auto names = [](const fs::path& folder) {
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(folder)) all.push_back(e.path().filename());
    std::sort(all.begin(), all.end());
    return all;
  };
  {  // To a file in another folder, by a relative link: updated there.
    const fs::path link = app / "marivo2.ini";
    const fs::path target = dotfiles / "marivo2.ini";
    testing::PutFile(target, "[Data]\nTyouka=001\n");
    fs::create_symlink("../dotfiles/marivo2.ini", link);
    ASSERT_TRUE(profile::Write("Data", "Complete", "1", link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testing::FileText(target), "[Data]\nTyouka=001\nComplete=1\n");
    EXPECT_EQ(names(app), std::vector<std::string>{"marivo2.ini"});
    EXPECT_EQ(names(dotfiles), std::vector<std::string>{"marivo2.ini"});
    fs::remove(link);
  }
  {  // Dangling: the file it names is made.
    const fs::path link = app / "marivo2.ini";
    fs::create_symlink(dotfiles / "new.ini", link);
    ASSERT_TRUE(profile::Write("Data", "Tyouka", "002", link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testing::FileText(dotfiles / "new.ini"), "[Data]\r\nTyouka=002\r\n");
    fs::remove(link);
  }
  {  // To /dev/null, or a folder in the record's place: refused, left as they are.
    const fs::path link = app / "marivo2.ini";
    fs::create_symlink("/dev/null", link);
    EXPECT_FALSE(profile::Write("Data", "Tyouka", "003", link.string()));
    EXPECT_FALSE(profile::SaveWhole(link.string(), "[Data]\n"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    fs::remove(link);
    fs::create_directory(link);
    EXPECT_FALSE(profile::Write("Data", "Tyouka", "003", link.string()));
    EXPECT_TRUE(fs::is_directory(link));
    EXPECT_EQ(names(app), std::vector<std::string>{"marivo2.ini"});
  }
  {  // Links in a circle lead nowhere.
    fs::create_symlink("b.ini", app / "a.ini");
    fs::create_symlink("a.ini", app / "b.ini");
    EXPECT_FALSE(profile::Write("Data", "Tyouka", "004", (app / "a.ini").string()));
  }
}

TEST_F(ProfileFile, ANewOrReplacedFileIsNeverMoreOpenThanReadableByAll) {
  auto mode = [&] {
    struct stat info {};
    ::stat(Path().c_str(), &info);
    return info.st_mode & 07777;
  };
  // A new file as the user's creation mask has it, never wider.
  for (const auto& [mask, made] : {std::pair<mode_t, mode_t>{077, 0600}, {027, 0640}, {0, 0644}}) {
    const mode_t was = ::umask(mask);
    ASSERT_TRUE(profile::Write("Data", "Tyouka", "001", Path()));
    ::umask(was);
    EXPECT_EQ(mode(), made) << std::oct << mask;
    fs::remove(Path());
  }
  // A file already there keeps its mode, never wider than rw-r--r--.
  ASSERT_TRUE(profile::Write("Data", "Tyouka", "001", Path()));
  for (const mode_t before : {0666u, 0777u, 0600u, 0640u, 0200u | 0400u}) {
    ::chmod(Path().c_str(), before);
    ASSERT_TRUE(profile::Write("Data", "Tyouka", "002", Path()));
    EXPECT_EQ(mode(), before & 0644u) << std::oct << before;
  }
}

TEST_F(ProfileFile, HostileContentReadsByTheRulesWithoutCrashing) {
  // NULs, a huge line, stray brackets and a header without its end.
  using namespace std::string_literals;
  Put("[Data]\nTyouka=00\0"s + "1FF\n");
  EXPECT_EQ(Read("Data", "Tyouka"), "00\0"s + "1FF");
  Put("[Data\nTyouka=1\n[]\n]=x\n[Data]]\nTyouka=2\n[Data]\n=\n==\nTyouka==3\n" +
      std::string(2000000, 'x') + "\n");
  EXPECT_EQ(Read("Data]", "Tyouka"), "2");  // the last ']' closes the name
  EXPECT_EQ(Read("Data", "Tyouka"), "=3");

  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 3000, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    if (round % 3 == 0) bytes = "[Data]\n" + bytes;
    Put(bytes);
    const std::string value = Read("Data", "Tyouka");
    EXPECT_LE(value.size(), 510u);
    ASSERT_TRUE(profile::Write("Data", "Tyouka", "00A", Path()));
    EXPECT_EQ(Read("Data", "Tyouka"), "00A") << "round " << round;
  }
}

}  // namespace
}  // namespace marivo
