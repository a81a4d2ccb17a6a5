#include "platform/qt/qt_support.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "platform/arith.h"

namespace marivo::qt {

ScreenInfo ScreenInfoFrom(const QRect& geometry, const QRect& available) {
  ScreenInfo info;
  info.widthPx = geometry.width();
  info.heightPx = geometry.height();
  info.twipsPerPixelX = kTwipsPerPixel;
  info.twipsPerPixelY = kTwipsPerPixel;
  info.captionHeight = kCaptionHeight;
  // QRect::bottom() is the last row inside; the task bar begins one below.
  const int availableBottom =
      available.isValid() ? available.y() + available.height() : geometry.y() + geometry.height();
  info.fullScreenClientHeight = availableBottom - kCaptionHeight;
  return info;
}

QStringList FamiliesFor(const char* face) {
  const std::string_view f = face != nullptr ? face : "";
  const QStringList gothic{"IPAPGothic",       "IPA Pゴシック", "IPAGothic",
                           "Noto Sans CJK JP", "VL PGothic",    "TakaoPGothic"};
  const QStringList mincho{"IPAPMincho", "IPA P明朝", "IPAMincho", "Noto Serif CJK JP",
                           "TakaoPMincho"};
  if (f.find("明朝") != std::string_view::npos) return mincho;
  if (f == "Times New Roman") {
    QStringList serif{"Liberation Serif", "DejaVu Serif", "Times"};
    serif.append(mincho);
    return serif;
  }
  // "ＭＳ Ｐゴシック" and the dialogs' default face.
  return gothic;
}

QFont FontFor(const FontDesign& design) {
  QStringList families = FamiliesFor(design.face);
  // Last resort: whatever Japanese font is installed.
  const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
  if (!japanese.isEmpty()) families.append(japanese.front());
  QFont font;
  font.setFamilies(families);
  // Points at 96 dots per inch, the density the layout's 15 twips per pixel
  // stand for, whatever density the display claims.
  const double points = design.points > 0 ? design.points : 9.0;
  font.setPixelSize(std::max(1, Nearest(points * 96.0 / 72.0)));
  font.setBold(design.bold);
  font.setStyleStrategy(QFont::PreferDefault);
  return font;
}

QFont FitFont(const QFont& font, const QString& text, int width) {
  const int full = font.pixelSize();
  if (full <= 0) return font;
  QFont fitted = font;
  for (int px = full; px * 10 >= full * 7; --px) {
    fitted.setPixelSize(px);
    if (QFontMetrics(fitted).horizontalAdvance(text) <= width) return fitted;
  }
  return fitted;
}

QColor ToQColor(Color color, const QColor& buttonFace) {
  if (color == kButtonFace) return buttonFace;
  return QColor(int((color >> 16) & 0xFF), int((color >> 8) & 0xFF), int(color & 0xFF));
}

QImage ToQImage(const assets::Image& image) {
  QImage out(image.width, image.height, QImage::Format_RGB32);
  const std::uint32_t* pixels = image.Pixels();
  if (pixels == nullptr) {
    out.fill(Qt::black);
    return out;
  }
  for (int y = 0; y < image.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < image.width; ++x) line[x] = 0xFF000000u | pixels[y * image.width + x];
  }
  return out;
}

QRegion ToQRegion(const std::vector<PixelRect>& rects) {
  QRegion region;
  for (const PixelRect& r : rects) {
    region += QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  return region;
}

int TwipsToPixels(double twips) {
  return Nearest(twips / kTwipsPerPixel);
}

std::string UserSettingsDirFrom(const char* xdgConfigHome, const char* home) {
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    return std::string(xdgConfigHome) + "/marivo2";
  }
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/marivo2";
  return {};
}

std::string WholeScaleFactors(const std::string& setting) {
  std::string out;
  std::size_t begin = 0;
  while (begin <= setting.size()) {
    std::size_t end = setting.find(';', begin);
    if (end == std::string::npos) end = setting.size();
    const std::string entry = setting.substr(begin, end - begin);
    const std::size_t equals = entry.find('=');
    const std::string name = equals == std::string::npos ? "" : entry.substr(0, equals + 1);
    const std::string value = entry.substr(name.size());
    char* rest = nullptr;
    const double factor = std::strtod(value.c_str(), &rest);
    if (!value.empty() && rest != nullptr && *rest == '\0' && std::isfinite(factor)) {
      // Halves up, as Qt rounds a screen's factor (1.5 becomes 2).
      const std::int32_t whole = std::max<std::int32_t>(1, NearestHalfUp(std::min(factor, 64.0)));
      out += name + std::to_string(whole);
    } else {
      out += entry;
    }
    if (end == setting.size()) break;
    out += ';';
    begin = end + 1;
  }
  return out;
}

QRect ClearOfEdges(const QRect& seen, const QRect& screen, const QRect& allowed, int reach) {
  if (seen.isEmpty()) return seen;
  // Grown by the whole reach, not just up to the line: a window that moves
  // near the edge (the bobbing float) keeps its shape and picture and is
  // simply moved, which the X server does in one step.
  QRect grown = seen;
  const int right = screen.x() + screen.width(), bottom = screen.y() + screen.height();
  if (seen.y() > bottom - reach) grown.setTop(seen.y() - reach);
  if (seen.x() > right - reach) grown.setLeft(seen.x() - reach);
  if (seen.y() + seen.height() < screen.y() + reach) grown.setBottom(seen.bottom() + reach);
  if (seen.x() + seen.width() < screen.x() + reach) grown.setRight(seen.right() + reach);
  return (grown & allowed) | seen;
}

}  // namespace marivo::qt
