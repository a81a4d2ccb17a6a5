#include "assets/images.h"

#include <array>
#include <cstddef>
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

// Every picture expanded to 0xRRGGBB pixels, made once at first use and
// never changed afterwards; the Image records point into `pixels`.
struct ExpandedTable {
  std::vector<std::uint32_t> pixels;
  std::array<Image, detail::kImageCount> images;
  std::array<const Image*, detail::kImageCount> pointers;
};

ExpandedTable ExpandAll() {
  ExpandedTable table;
  std::size_t total = 0;
  for (const detail::PackedImage& packed : detail::kPackedImages) {
    total += static_cast<std::size_t>(packed.width) * packed.height;
  }
  // Sized once, so the pointers handed out below stay valid.
  table.pixels.resize(total);
  std::size_t offset = 0;
  for (int i = 0; i < detail::kImageCount; ++i) {
    const detail::PackedImage& packed = detail::kPackedImages[i];
    std::uint32_t* pixels = table.pixels.data() + offset;
    detail::Expand(packed, pixels);
    table.images[i] = Image{packed.width, packed.height, pixels, packed.name};
    table.pointers[i] = &table.images[i];
    offset += static_cast<std::size_t>(packed.width) * packed.height;
  }
  return table;
}

const ExpandedTable& Table() {
  static const ExpandedTable table = ExpandAll();
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

}  // namespace marivo::assets
