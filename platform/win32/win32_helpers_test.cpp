// The Windows backend's desktop-independent helpers, run on the build machine.
#include <gtest/gtest.h>

#include "catch/record.h"
#include "platform/catalogue.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_fonts.h"
#include "platform/win32/win32_hit_test.h"
#include "platform/win32/win32_paths.h"
#include "platform/win32/win32_pump_timing.h"
#include "platform/win32/win32_text.h"

namespace marivo::win32 {
namespace {

// A window's state as the window layer makes it from the design.
WindowState StateOf(WindowId id) {
  WindowState s;
  for (const ControlDesign& d : Design(id).controls) s.controls.push_back(DesignedState(d));
  return s;
}

int Slot(WindowId id, std::string_view name, int index = -1) {
  const auto& controls = Design(id).controls;
  for (int i = 0; i < int(controls.size()); ++i) {
    if (controls[i].name == name && controls[i].index == index) return i;
  }
  return -2;
}

TEST(Win32Text, JapaneseCaptionsSurviveTheRoundTrip) {
  for (std::string text :
       {"マリヴォ２", "ﾊﾞｰｼﾞｮﾝ情報", "釣果をクリアしていいですか？", "3 匹", "12/07 13:05", ""}) {
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  }
  EXPECT_EQ(Utf8ToUtf16("釣果"), u"釣果");
  // Outside the basic plane: a surrogate pair each way.
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x90\x9F"), std::u16string({0xD83D, 0xDC1F}));
  EXPECT_EQ(Utf16ToUtf8(std::u16string({0xD83D, 0xDC1F})), "\xF0\x9F\x90\x9F");
}

TEST(Win32Text, MalformedInputBecomesReplacementCharacters) {
  const char16_t bad = 0xFFFD;
  EXPECT_EQ(Utf8ToUtf16("a\x80z"), std::u16string({u'a', bad, u'z'}));
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), std::u16string({bad, bad}));    // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), std::u16string({bad}));     // an encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("x\xE3\x81"), std::u16string({u'x', bad}));  // cut short at the end
  EXPECT_EQ(Utf8ToUtf16("\xE3\x81z"), std::u16string({bad, u'z'}));  // cut short mid-text
  EXPECT_EQ(Utf8ToUtf16("\xF5\x80\x80\x80").front(), bad);           // beyond U+10FFFF
  EXPECT_EQ(Utf16ToUtf8(std::u16string({0xD800, u'a'})),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string({0xDC00})), "\xEF\xBF\xBD");
}

TEST(Win32ModulePath, FolderAndNameGiveTheRecordFileBesideTheProgram) {
  ModulePath games = SplitModulePath("C:\\Games\\marivo2.exe");
  EXPECT_EQ(games.folder, "C:\\Games");
  EXPECT_EQ(games.exeName, "marivo2");
  EXPECT_EQ(RecordPath(games.folder, games.exeName, '\\'), "C:\\Games\\marivo2.ini");

  ModulePath root = SplitModulePath("D:\\marivo2.exe");
  EXPECT_EQ(root.folder, "D:\\");
  EXPECT_EQ(RecordPath(root.folder, root.exeName, '\\'), "D:\\marivo2.ini");

  ModulePath dotted = SplitModulePath("C:\\My.Games\\fish.game.exe");
  EXPECT_EQ(dotted.folder, "C:\\My.Games");
  EXPECT_EQ(dotted.exeName, "fish.game");

  ModulePath bare = SplitModulePath("C:\\My.Games\\marivo2");
  EXPECT_EQ(bare.exeName, "marivo2");

  ModulePath share = SplitModulePath("\\\\server\\share\\マリヴォ\\marivo2.exe");
  EXPECT_EQ(share.folder, "\\\\server\\share\\マリヴォ");
  EXPECT_EQ(share.exeName, "marivo2");
}

TEST(Win32Screen, TheUsableBottomIsTheWorkAreaBottom) {
  // A 30-pixel task bar at the bottom of 1024 x 768.
  ScreenInfo s = MetricsFromDesktop(1024, 768, 738, 19, 96, 96);
  EXPECT_EQ(s.fullScreenClientHeight, 719);
  EXPECT_EQ(s.captionHeight, 19);
  EXPECT_EQ(s.fullScreenClientHeight + s.captionHeight, 738);
  EXPECT_EQ(s.twipsPerPixelX, 15);
  EXPECT_EQ(s.twipsPerPixelY, 15);
  EXPECT_EQ(s.widthPx, 1024);

  // No task bar (a bare X server under Wine): the scene stands on the
  // screen's bottom edge, never below it.
  s = MetricsFromDesktop(1024, 768, 768, 23, 96, 96);
  EXPECT_EQ(s.fullScreenClientHeight + s.captionHeight, 768);
  s = MetricsFromDesktop(1024, 768, 800, 23, 96, 96);
  EXPECT_EQ(s.fullScreenClientHeight + s.captionHeight, 768);

  EXPECT_EQ(TwipsPerPixel(120), 12);
  EXPECT_EQ(TwipsPerPixel(144), 10);
  EXPECT_EQ(TwipsPerPixel(0), 15);
}

TEST(Win32Fonts, DesignedSizesAtNinetySixDots) {
  EXPECT_EQ(FontHeight(8.25, 96), -11);
  EXPECT_EQ(FontHeight(9.0, 96), -12);
  EXPECT_EQ(FontHeight(9.75, 96), -13);
  EXPECT_EQ(FontHeight(11.25, 96), -15);
  EXPECT_EQ(FontHeight(9.0, 0), -12);
}

TEST(Win32Fonts, JapaneseFacesFallBackByStyle) {
  const std::vector<std::string> windows = {"ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", "MS UI Gothic"};
  EXPECT_EQ(ChooseFace("ＭＳ Ｐゴシック", windows).face, "ＭＳ Ｐゴシック");
  EXPECT_EQ(ChooseFace("ＭＳ Ｐ明朝", windows).face, "ＭＳ Ｐ明朝");

  const std::vector<std::string> english = {"MS PGothic", "MS PMincho"};
  EXPECT_EQ(ChooseFace("ＭＳ Ｐゴシック", english).face, "MS PGothic");
  EXPECT_EQ(ChooseFace("ＭＳ Ｐ明朝", english).face, "MS PMincho");

  // Wine with the IPA fonts, named in Japanese, proportional ones first.
  const std::vector<std::string> ipa = {"IPA Pゴシック", "IPA P明朝", "IPAゴシック", "IPA明朝"};
  EXPECT_EQ(ChooseFace("ＭＳ Ｐゴシック", ipa).face, "IPA Pゴシック");
  EXPECT_EQ(ChooseFace("ＭＳ Ｐ明朝", ipa).face, "IPA P明朝");
  EXPECT_EQ(ChooseFace("", ipa).face, "IPA Pゴシック");  // the dialogs' default font
  EXPECT_TRUE(ChooseFace("", ipa).japanese);

  // Some Japanese face, whatever its style, rather than none.
  EXPECT_EQ(ChooseFace("ＭＳ Ｐ明朝", {"Droid Sans Fallback"}).face, "Droid Sans Fallback");
  // Nothing Japanese installed: the character set alone picks a fallback.
  FaceChoice none = ChooseFace("ＭＳ Ｐゴシック", {});
  EXPECT_EQ(none.face, "");
  EXPECT_TRUE(none.japanese);

  FaceChoice times = ChooseFace("Times New Roman", ipa);
  EXPECT_EQ(times.face, "Times New Roman");
  EXPECT_FALSE(times.japanese);
}

TEST(Win32Controls, OnlyTheControlBarsButtonAndLabelTakeThePointer) {
  WindowState bar = StateOf(WindowId::frmCon);
  const int button = Slot(WindowId::frmCon, "Picture1");
  const int clock = Slot(WindowId::frmCon, "Label1");
  const int gauge = Slot(WindowId::frmCon, "Picture2");
  // The button: left 990, top -30, 225 x 300 twips.
  EXPECT_EQ(ControlAt(bar, 70, 5, 15, 15), button);
  EXPECT_EQ(ControlAt(bar, 66, 0, 15, 15), button);
  EXPECT_EQ(ControlAt(bar, 80, 17, 15, 15), button);
  EXPECT_EQ(ControlAt(bar, 81, 5, 15, 15), -1);
  EXPECT_EQ(ControlAt(bar, 10, 5, 15, 15), clock);
  EXPECT_EQ(ControlAt(bar, 1, 0, 15, 15), -1);
  // In gauge mode the gauge, a picture box, lies over the hidden clock.
  bar.controls[clock].visible = false;
  bar.controls[gauge].visible = true;
  EXPECT_EQ(ControlAt(bar, 10, 5, 15, 15), gauge);
  // Picture boxes paint above the label, whatever their design order.
  const std::vector<int> order = PaintOrder(bar);
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(order.back(), button);
  bar.controls[clock].visible = true;
  const std::vector<int> both = PaintOrder(bar);
  ASSERT_EQ(both.size(), 3u);
  EXPECT_EQ(both.front(), clock);
}

TEST(Win32Controls, HiddenPicturesLinesAndFrameStoresLetThePointerThrough) {
  WindowState list = StateOf(WindowId::frmList);
  const int first = Slot(WindowId::frmList, "Picture1", 0);
  const int ninth = Slot(WindowId::frmList, "Picture1", 9);
  EXPECT_EQ(ControlAt(list, 5, 25, 15, 15), first);
  EXPECT_EQ(ControlAt(list, 45 + 3, 65, 15, 15), ninth);  // column 1, row 1
  list.controls[first].visible = false;
  EXPECT_EQ(ControlAt(list, 5, 25, 15, 15), -1);
  // On a grid line between two cells.
  EXPECT_EQ(ControlAt(list, 41, 30, 15, 15), -1);

  // The angler's frames are stored in the window but never shown.
  WindowState man = StateOf(WindowId::frmMan);
  EXPECT_EQ(ControlAt(man, 1890 / 15 + 5, 5, 15, 15), -1);
  EXPECT_TRUE(PaintOrder(man).empty());
}

TEST(Win32Pump, SleepLastsUntilTheDeadlineOnTheWrappingCounter) {
  EXPECT_EQ(SleepFor(std::nullopt, 1234), kForever);
  EXPECT_EQ(SleepFor(1300u, 1234), 66u);
  EXPECT_EQ(SleepFor(1234u, 1234), 0u);
  EXPECT_EQ(SleepFor(1000u, 1234), 0u);  // passed
  EXPECT_EQ(SleepFor(0x10u, 0xFFFFFFF0u), 0x20u);
  EXPECT_EQ(SleepFor(0xFFFFFFF0u, 0x10u), 0u);  // passed before the counter wrapped
}

}  // namespace
}  // namespace marivo::win32
