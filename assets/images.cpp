#include "assets/images.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/image_table.h"

namespace marivo::assets {

void detail::Expand(const PackedImage& packed, std::uint32_t* out) {
  const std::size_t count = static_cast<std::size_t>(packed.width) * packed.height;
  if (packed.raw != nullptr) {
    for (std::size_t i = 0; i < count; ++i) out[i] = packed.raw[i];
    return;
  }
  if (packed.indices == nullptr || packed.palette == nullptr) {
    throw std::logic_error(std::string("picture ") + packed.name + " has no pixels");
  }
  for (std::size_t i = 0; i < count; ++i) {
    const int index = packed.indices[i];
    if (index >= packed.paletteSize) {
      throw std::logic_error(std::string("picture ") + packed.name + " has a colour index " +
                             std::to_string(index) + " outside its palette of " +
                             std::to_string(packed.paletteSize));
    }
    out[i] = packed.palette[index];
  }
}

namespace {

// The stored pictures' records, made at first use, and each one's pixels,
// expanded the first time they are asked for. The records never change;
// each picture's pixels are written once, under its once-flag, and then
// stay put, so the pointers handed out remain valid for the whole run.
struct StoredTable {
  StoredTable() {
    for (int i = 0; i < detail::kImageCount; ++i) {
      const detail::PackedImage& packed = detail::kPackedImages[i];
      images[i] = Image{packed.width, packed.height, nullptr, packed.name, i};
      pointers[i] = &images[i];
    }
  }
  std::array<Image, detail::kImageCount> images;
  std::array<const Image*, detail::kImageCount> pointers;
  std::array<std::once_flag, detail::kImageCount> expanded;
  std::array<std::vector<std::uint32_t>, detail::kImageCount> pixels;
  std::atomic<std::size_t> expandedPixels{0};
};

StoredTable& Table() {
  static StoredTable table;
  return table;
}

const Image& Pick(int first, int count, int index, const char* what) {
  if (index < 0 || index >= count) {
    throw std::out_of_range(std::string("no ") + what + " picture " + std::to_string(index));
  }
  return Table().images[first + index];
}

}  // namespace

const Image& ManFrame(int frame) {
  return Pick(detail::kManFirst, 7, frame, "angler");
}
const Image& UkiFrame(int frame) {
  return Pick(detail::kUkiFirst, 6, frame, "float");
}
const Image& FishPicture(int kind) {
  return Pick(detail::kFishFirst, 45, kind, "catch");
}
const Image& HookPicture() {
  return Table().images[detail::kHookIndex];
}
const Image& HistoryPicture(int kind) {
  return Pick(detail::kHistoryFirst, 40, kind, "history");
}
const Image& BalloonPiece(int entry) {
  return Pick(detail::kBalloonFirst, 4, entry, "balloon");
}
const Image& GaugePicture() {
  return Table().images[detail::kGaugeIndex];
}
const Image& IconPicture() {
  return Table().images[detail::kIconIndex];
}
const Image& CertificatePicture() {
  return Table().images[detail::kCertificateIndex];
}

std::span<const Image* const> AllImages() {
  return Table().pointers;
}

const std::uint32_t* Image::Pixels() const {
  if (given != nullptr || stored < 0 || stored >= detail::kImageCount) return given;
  StoredTable& table = Table();
  std::call_once(table.expanded[stored], [&table, this] {
    const detail::PackedImage& packed = detail::kPackedImages[stored];
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(packed.width) * packed.height);
    detail::Expand(packed, pixels.data());
    table.pixels[stored] = std::move(pixels);
    table.expandedPixels += table.pixels[stored].size();
  });
  return table.pixels[stored].data();
}

std::size_t detail::ExpandedPixelCount() {
  return Table().expandedPixels.load();
}

}  // namespace marivo::assets
