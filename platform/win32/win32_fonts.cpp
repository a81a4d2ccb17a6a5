#include "platform/win32/win32_fonts.h"

#include <algorithm>
#include <array>

#include "platform/arith.h"

namespace marivo::win32 {
namespace {

bool IsGothicName(std::string_view name) {
  for (std::string_view mark : {"Gothic", "GOTHIC", "gothic", "ゴシック", "Sans", "Meiryo"}) {
    if (name.find(mark) != std::string_view::npos) return true;
  }
  return false;
}

bool IsMinchoName(std::string_view name) {
  for (std::string_view mark : {"Mincho", "MINCHO", "mincho", "明朝", "Serif"}) {
    if (name.find(mark) != std::string_view::npos) return true;
  }
  return false;
}

bool HasNonAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool Has(const std::vector<std::string>& faces, std::string_view face) {
  return std::find(faces.begin(), faces.end(), face) != faces.end();
}

}  // namespace

int FontHeight(double points, int dpi) {
  return -Nearest(points * (dpi > 0 ? dpi : 96) / 72.0);
}

int ScaledLine::Width() const {
  int width = 0;
  for (int d : dx) width += d;
  return width;
}

ScaledLine LayOutLine(const std::vector<int>& designAdvances, int boxLeft, int boxWidth,
                      bool centred, int scale) {
  scale = std::max(1, scale);
  int designWidth = 0;
  for (int a : designAdvances) designWidth += a;
  ScaledLine line;
  // As the system centres at 96 dpi: half the spare room, truncated (also
  // when the text is wider than its box and the room is negative).
  const int offset = centred ? Div(boxWidth - designWidth, 2) : 0;
  line.left = (boxLeft + offset) * scale;
  line.dx.reserve(designAdvances.size());
  for (int a : designAdvances) line.dx.push_back(a * scale);
  return line;
}

std::vector<int> AdvancesFromExtents(const std::vector<int>& extents) {
  std::vector<int> advances;
  advances.reserve(extents.size());
  int before = 0;
  for (int extent : extents) {
    advances.push_back(extent - before);
    before = extent;
  }
  return advances;
}

FaceChoice ChooseFace(std::string_view designed, const std::vector<std::string>& japaneseFaces) {
  struct Alias {
    std::string_view local, latin;
  };
  constexpr std::array<Alias, 4> kAliases{{{"ＭＳ Ｐゴシック", "MS PGothic"},
                                           {"ＭＳ Ｐ明朝", "MS PMincho"},
                                           {"ＭＳ ゴシック", "MS Gothic"},
                                           {"ＭＳ 明朝", "MS Mincho"}}};
  if (!designed.empty() && !HasNonAscii(designed) && !IsGothicName(designed) &&
      !IsMinchoName(designed)) {
    // A Latin face such as Times New Roman: the desktop substitutes its own.
    return {std::string(designed), false};
  }
  if (!designed.empty() && Has(japaneseFaces, designed)) return {std::string(designed), true};
  for (const Alias& a : kAliases) {
    if (designed == a.local && Has(japaneseFaces, a.latin)) return {std::string(a.latin), true};
    if (designed == a.latin && Has(japaneseFaces, a.local)) return {std::string(a.local), true};
  }
  const bool mincho = IsMinchoName(designed);
  const std::vector<std::string_view> preferred =
      mincho ? std::vector<std::string_view>{"MS PMincho", "ＭＳ Ｐ明朝",       "Yu Mincho",
                                             "IPAPMincho", "IPA P明朝",         "IPAMincho",
                                             "IPA明朝",    "Noto Serif CJK JP", "TakaoPMincho"}
             : std::vector<std::string_view>{"MS PGothic",    "ＭＳ Ｐゴシック",  "MS UI Gothic",
                                             "Meiryo",        "Yu Gothic",        "IPAPGothic",
                                             "IPA Pゴシック", "IPAGothic",        "IPAゴシック",
                                             "VL PGothic",    "Noto Sans CJK JP", "TakaoPGothic"};
  for (std::string_view face : preferred) {
    if (Has(japaneseFaces, face)) return {std::string(face), true};
  }
  for (const std::string& face : japaneseFaces) {
    if (mincho ? IsMinchoName(face) : IsGothicName(face)) return {face, true};
  }
  if (!japaneseFaces.empty()) return {japaneseFaces.front(), true};
  return {"", true};
}

}  // namespace marivo::win32
