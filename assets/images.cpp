#include "assets/images.h"

#include <stdexcept>
#include <string>

#include "assets/image_table.h"

namespace marivo::assets {
namespace {

const Image& Pick(int first, int count, int index, const char* what) {
  if (index < 0 || index >= count) {
    throw std::out_of_range(std::string("no ") + what + " picture " + std::to_string(index));
  }
  return detail::kImageTable[first + index];
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
  return detail::kImageTable[detail::kHookIndex];
}
const Image& HistoryPicture(int kind) {
  return Pick(detail::kHistoryFirst, 40, kind, "history");
}
const Image& BalloonPiece(int entry) {
  return Pick(detail::kBalloonFirst, 4, entry, "balloon");
}
const Image& GaugePicture() {
  return detail::kImageTable[detail::kGaugeIndex];
}
const Image& IconPicture() {
  return detail::kImageTable[detail::kIconIndex];
}
const Image& CertificatePicture() {
  return detail::kImageTable[detail::kCertificateIndex];
}

std::span<const Image* const> AllImages() {
  return detail::kImagePointers;
}

}  // namespace marivo::assets
