// Every picture the game shows, embedded in the executable at build time.
//
// The sources are XPM files under assets/; the build stores them in the
// program (compactly, as palettes and colour indices), so the program needs
// no files at run time. A picture is expanded to its pixels the first time
// they are asked for (a start-up shows a handful of the 106), once; they
// then stay put, unchanged, for the whole run.
// Pixels are opaque 0xRRGGBB values, row-major from the top-left corner. Transparency is not a
// property of the pictures: sprite windows are cut to their outline by the
// shape records in shapes/, which were derived from the same sprites.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace marivo::assets {

struct Image {
  int width = 0;
  int height = 0;
  const std::uint32_t* given = nullptr;  // pixels at hand (a picture made by a test or tool)
  const char* name = "";                 // source name, for contact sheets and journals
  int stored = -1;                       // which stored picture, expanded at first use

  // The width * height pixels, 0xRRGGBB; null for a picture without any.
  // Thread-safe; a stored picture is expanded by the first call.
  const std::uint32_t* Pixels() const;
  std::uint32_t At(int x, int y) const { return Pixels()[y * width + x]; }
};

// The angler, 50 x 48 on black; frame i goes with shape slot i.
const Image& ManFrame(int frame);  // 0..6
// The float: 0 upright 5x21, 1 slanting up 17x12, 2 flat 21x5,
// 3 slanting down 17x12, 4 and 5 the struggling float 31x14.
const Image& UkiFrame(int frame);  // 0..5
// A catch hanging head up, 36 x 36 on its key colour; kind 0..44.
const Image& FishPicture(int kind);
// The empty hook, 36 x 36.
const Image& HookPicture();
// A creature lying on its side on blue, 36 x 36, for the catch history; 0..39.
const Image& HistoryPicture(int kind);
// The balloon's end caps on red: 0 left with tail 8x18, 1 right 7x18,
// 2 left 7x18, 3 right with tail 8x18.
const Image& BalloonPiece(int entry);
// The cast-power gauge, 60 x 4.
const Image& GaugePicture();
// The program's icon, 32 x 32.
const Image& IconPicture();
// The certificate, 200 x 135.
const Image& CertificatePicture();

// Every embedded picture, for tools and tests.
std::span<const Image* const> AllImages();

namespace detail {
// How many pixels have been expanded so far in this run.
std::size_t ExpandedPixelCount();
}  // namespace detail

}  // namespace marivo::assets
