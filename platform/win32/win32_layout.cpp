#include "platform/win32/win32_layout.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/arith.h"

namespace marivo::win32 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

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

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, c = lead & 0x07, minimum = 0x10000;
    }
    if (length == 0) {  // a continuation byte or an invalid lead
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    int taken = 1;
    while (taken < length && i + taken < text.size()) {
      const unsigned char next = static_cast<unsigned char>(text[i + taken]);
      if ((next & 0xC0) != 0x80) break;
      c = (c << 6) | (next & 0x3F);
      ++taken;
    }
    if (taken < length || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      i += static_cast<std::size_t>(taken);
      continue;
    }
    AppendUtf16(out, c);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

ModulePath SplitModulePath(std::string_view fullPath) {
  ModulePath result;
  const std::size_t slash = fullPath.find_last_of("\\/");
  std::string_view file = fullPath;
  if (slash != std::string_view::npos) {
    result.folder = std::string(fullPath.substr(0, slash));
    file = fullPath.substr(slash + 1);
    // A drive root keeps its backslash: "D:" alone names the drive's
    // current folder, not its root.
    if (result.folder.size() == 2 && result.folder[1] == ':') result.folder += '\\';
  }
  const std::size_t dot = file.find_last_of('.');
  result.exeName =
      std::string(dot == std::string_view::npos || dot == 0 ? file : file.substr(0, dot));
  return result;
}

int TwipsPerPixel(int dpi) {
  if (dpi <= 0) return 15;
  return std::max(1, Nearest(1440.0 / dpi));
}

ScreenInfo MetricsFromDesktop(int screenWidth, int screenHeight, int workAreaBottom,
                              int captionHeight, int dpiX, int dpiY) {
  ScreenInfo s;
  s.widthPx = screenWidth;
  s.heightPx = screenHeight;
  s.twipsPerPixelX = TwipsPerPixel(dpiX);
  s.twipsPerPixelY = TwipsPerPixel(dpiY);
  // A work area that claims to reach below the screen is clipped to it.
  const int bottom = std::clamp(workAreaBottom, 0, std::max(0, screenHeight));
  s.captionHeight = captionHeight;
  s.fullScreenClientHeight = bottom - captionHeight;
  return s;
}

int ScaleForDpi(int dpi) {
  if (dpi <= 0) return 1;
  return std::max(1, (dpi + 48) / 96);
}

ScaledDesktop ScaleDesktop(int screenWidth, int screenHeight, int workAreaBottom, int captionHeight,
                           int scale) {
  scale = std::max(1, scale);
  const int height = std::max(0, screenHeight);
  const int bottom = std::clamp(workAreaBottom, 0, height);
  ScaledDesktop out;
  const int logicalBottom = bottom / scale;
  out.originY = bottom - logicalBottom * scale;
  out.screen =
      MetricsFromDesktop((std::max(0, screenWidth) + scale - 1) / scale, height / scale,
                         logicalBottom, (std::max(0, captionHeight) + scale - 1) / scale, 96, 96);
  return out;
}

std::vector<std::uint8_t> ScaleRegionRecord(const void* data, std::uint32_t bytes, int scale) {
  std::vector<std::uint8_t> out;
  if (data == nullptr) return out;
  const auto* in = static_cast<const std::uint8_t*>(data);
  out.assign(in, in + bytes);
  constexpr std::uint32_t kHeader = 32, kBounds = 16, kRect = 16;
  if (scale <= 1 || bytes < kHeader) return out;
  auto scaleRect = [&](std::uint32_t at) {
    for (std::uint32_t k = 0; k < 4; ++k) {
      std::int32_t v;
      std::memcpy(&v, out.data() + at + 4 * k, 4);
      const std::int64_t scaled =
          std::clamp<std::int64_t>(std::int64_t(v) * scale, INT32_MIN, INT32_MAX);
      v = static_cast<std::int32_t>(scaled);
      std::memcpy(out.data() + at + 4 * k, &v, 4);
    }
  };
  scaleRect(kBounds);
  for (std::uint32_t at = kHeader; at + kRect <= bytes; at += kRect) scaleRect(at);
  return out;
}

std::vector<std::string> FolderChain(std::string_view folder) {
  std::string path(folder);
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  // Where the folders to create begin: after "C:\", after "\\server\share\",
  // after a leading "\", or at the start of a relative path.
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == ':') {
    start = path.size() > 2 && path[2] == '\\' ? 3 : 2;
  } else if (path.rfind("\\\\", 0) == 0) {
    const std::size_t server = path.find('\\', 2);
    const std::size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    start = share == std::string::npos ? path.size() : share + 1;
  } else if (!path.empty() && path[0] == '\\') {
    start = 1;
  }
  std::vector<std::string> chain;
  for (std::size_t at = start; at < path.size();) {
    std::size_t end = path.find('\\', at);
    if (end == std::string::npos) end = path.size();
    if (end > at) chain.push_back(path.substr(0, end));
    at = end + 1;
  }
  return chain;
}

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string_view::npos) return ".";
  if (slash == 2 && path[1] == ':') return std::string(path.substr(0, 3));
  return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

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

PixelBox ControlBox(const ControlState& control, int twipsPerPixelX, int twipsPerPixelY) {
  PixelBox box;
  box.left = Nearest(control.left / twipsPerPixelX);
  box.top = Nearest(control.top / twipsPerPixelY);
  box.width = std::max(0, Nearest(control.width / twipsPerPixelX));
  box.height = std::max(0, Nearest(control.height / twipsPerPixelY));
  return box;
}

bool PaintedByWindow(const ControlState& control) {
  if (!control.visible || control.design->frameStore) return false;
  switch (control.design->kind) {
    case ControlKind::PictureBox:
    case ControlKind::Image:
    case ControlKind::Label:
    case ControlKind::Line:
    case ControlKind::Shape:
      return true;
    case ControlKind::Timer:
    case ControlKind::CommandButton:  // a real button of its own
    case ControlKind::MenuItem:
      return false;
  }
  return false;
}

std::vector<int> PaintOrder(const WindowState& window) {
  std::vector<int> light;
  std::vector<int> boxes;
  for (int slot = 0; slot < int(window.controls.size()); ++slot) {
    const ControlState& c = window.controls[slot];
    if (!PaintedByWindow(c)) continue;
    (c.design->kind == ControlKind::PictureBox ? boxes : light).push_back(slot);
  }
  light.insert(light.end(), boxes.begin(), boxes.end());
  return light;
}

int ControlAt(const WindowState& window, int x, int y, int twipsPerPixelX, int twipsPerPixelY) {
  const std::vector<int> order = PaintOrder(window);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const ControlState& c = window.controls[*it];
    const ControlKind kind = c.design->kind;
    if (kind != ControlKind::PictureBox && kind != ControlKind::Image &&
        kind != ControlKind::Label) {
      continue;
    }
    if (ControlBox(c, twipsPerPixelX, twipsPerPixelY).Contains(x, y)) return *it;
  }
  return -1;
}

std::uint32_t SleepFor(std::optional<std::uint32_t> deadline, std::uint32_t now) {
  if (!deadline) return kForever;
  const std::uint32_t ahead = *deadline - now;
  // More than half the counter ahead means the deadline has passed.
  if (ahead == 0 || ahead > 0x7FFFFFFFu) return 0;
  return ahead;
}

}  // namespace marivo::win32
