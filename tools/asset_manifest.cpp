#include "tools/asset_manifest.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace marivo::art {
namespace {

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

constexpr std::uint32_t kBlackKey = 0x000000;
constexpr std::uint32_t kPinkKey = 0xFF00B4;     // catches 0..12 and 40..44
constexpr std::uint32_t kMagentaKey = 0xFF00FF;  // catches 13..39 and the hook
constexpr std::uint32_t kRedKey = 0xFF0000;      // balloon caps

std::uint32_t FishKey(int kind) {
  return (kind >= 13 && kind <= 39) ? kMagentaKey : kPinkKey;
}

std::vector<PictureEntry> BuildPictureList() {
  std::vector<PictureEntry> list;
  for (int i = 0; i < kManCount; ++i) {
    list.push_back({"man" + std::to_string(i), "man/man" + std::to_string(i) + ".xpm", 50, 48});
  }
  constexpr int kUkiSize[kUkiCount][2] = {{5, 21}, {17, 12}, {21, 5}, {17, 12}, {31, 14}, {31, 14}};
  for (int i = 0; i < kUkiCount; ++i) {
    list.push_back({"uki" + std::to_string(i), "uki/uki" + std::to_string(i) + ".xpm",
                    kUkiSize[i][0], kUkiSize[i][1]});
  }
  for (int i = 0; i < kFishCount; ++i) {
    list.push_back({"fish" + TwoDigits(i), "fish/fish" + TwoDigits(i) + ".xpm", 36, 36});
  }
  list.push_back({"hook", "fish/hook.xpm", 36, 36});
  for (int i = 0; i < kHistoryCount; ++i) {
    list.push_back({"history" + TwoDigits(i), "", 36, 36, kFishFirst + i});
  }
  constexpr int kBalloonWidth[kBalloonCount] = {8, 7, 7, 8};
  for (int i = 0; i < kBalloonCount; ++i) {
    list.push_back({"balloon" + std::to_string(i), "balloon/balloon" + std::to_string(i) + ".xpm",
                    kBalloonWidth[i], 18});
  }
  list.push_back({"gauge", "ui/gauge.xpm", 60, 4});
  list.push_back({"icon", "ui/icon.xpm", 32, 32});
  list.push_back({"certificate", "ui/certificate.xpm", 200, 135});
  if (list.size() != kPictureCount) throw std::logic_error("picture list out of step");
  return list;
}

std::array<ShapeSource, kSpriteSlotCount> BuildSpriteSources() {
  std::array<ShapeSource, kSpriteSlotCount> sources;
  for (int k = 0; k < kManCount; ++k) {
    sources[k] = {"man/man" + std::to_string(k) + ".xpm", MaskRule::kFilledOutline, kBlackKey};
  }
  for (int i = 0; i < 4; ++i) {
    sources[7 + i] = {"uki/uki" + std::to_string(i) + ".xpm", MaskRule::kKeyColour, kBlackKey};
  }
  sources[8].extentFromTop = true;
  sources[10].extentFromTop = true;
  sources[9].bandBreakRow = 3;
  for (int kind = 0; kind < kFishCount; ++kind) {
    sources[11 + kind] = {"fish/fish" + TwoDigits(kind) + ".xpm", MaskRule::kKeyColour,
                          FishKey(kind)};
  }
  sources[56] = {"uki/uki4.xpm", MaskRule::kKeyAndRipple, kBlackKey};
  sources[57] = {"uki/uki5.xpm", MaskRule::kKeyAndRipple, kBlackKey};
  sources[58] = {"fish/hook.xpm", MaskRule::kKeyColour, kMagentaKey};
  sources[59] = {"marker/marker.xpm", MaskRule::kKeyColour, kBlackKey};
  return sources;
}

std::array<ShapeSource, kBalloonEntryCount> BuildBalloonSources() {
  std::array<ShapeSource, kBalloonEntryCount> sources;
  constexpr int kWidth[kBalloonEntryCount] = {8, 7, 7, 8};
  for (int i = 0; i < kBalloonEntryCount; ++i) {
    sources[i] = {"balloon/balloon" + std::to_string(i) + ".xpm", MaskRule::kKeyColour, kRedKey};
    sources[i].canvasWidth = kWidth[i] * 15;
    sources[i].canvasHeight = 18 * 15;
  }
  return sources;
}

// The base name of a path without folders and without ".xpm".
std::string Stem(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xpm") == 0) {
    name.resize(name.size() - 4);
  }
  return name;
}

bool ParseIndex(const std::string& digits, int* value) {
  if (digits.empty() || digits.size() > 2) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  *value = std::stoi(digits);
  return true;
}

}  // namespace

const std::vector<PictureEntry>& EmbeddedPictures() {
  static const std::vector<PictureEntry> list = BuildPictureList();
  return list;
}

const ShapeSource& SpriteShapeSource(int slot) {
  static const std::array<ShapeSource, kSpriteSlotCount> sources = BuildSpriteSources();
  return sources.at(static_cast<std::size_t>(slot));
}

const ShapeSource& BalloonShapeSource(int entry) {
  static const std::array<ShapeSource, kBalloonEntryCount> sources = BuildBalloonSources();
  return sources.at(static_cast<std::size_t>(entry));
}

std::string MaskFileFor(const std::string& file) {
  const std::string suffix = ".xpm";
  if (file.size() > suffix.size() &&
      file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return file.substr(0, file.size() - suffix.size()) + ".mask.xpm";
  }
  return file + ".mask.xpm";
}

bool SourceForFileName(const std::string& path, ShapeSource* source, int* index) {
  const std::string stem = Stem(path);
  int n = 0;
  int slot = -1;
  if (stem.rfind("man", 0) == 0 && ParseIndex(stem.substr(3), &n) && n < kManCount) {
    slot = n;
  } else if (stem.rfind("uki", 0) == 0 && ParseIndex(stem.substr(3), &n) && n < kUkiCount) {
    slot = n < 4 ? 7 + n : 52 + n;
  } else if (stem.rfind("fish", 0) == 0 && ParseIndex(stem.substr(4), &n) && n < kFishCount) {
    slot = 11 + n;
  } else if (stem == "hook") {
    slot = 58;
  } else if (stem == "marker") {
    slot = 59;
  } else if (stem.rfind("balloon", 0) == 0 && ParseIndex(stem.substr(7), &n) &&
             n < kBalloonEntryCount) {
    *source = BalloonShapeSource(n);
    *index = -1 - n;
    return true;
  }
  if (slot < 0) return false;
  *source = SpriteShapeSource(slot);
  *index = slot;
  return true;
}

bool WriteIfChanged(const std::string& path, const std::string& content) {
  {
    std::ifstream existing(path, std::ios::binary);
    std::ostringstream old;
    old << existing.rdbuf();
    if (existing && old.str() == content) return true;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  return static_cast<bool>(file.flush());
}

}  // namespace marivo::art
