// Where every picture and every window outline of the game comes from.
//
// One list, read by the picture generator, the outline generator, the
// contact sheet and the tests, so that they all agree on file names, sizes,
// the order of the embedded pictures and the rule each outline is cut by.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marivo::art {

// A picture embedded in the program, in the order of assets::AllImages().
struct PictureEntry {
  std::string name;  // label for contact sheets, e.g. "man0", "fish07"
  std::string file;  // path below assets/; empty for derived pictures
  int width = 0;
  int height = 0;
  // A history picture is the catch picture of this entry turned a quarter
  // turn anticlockwise (head to the left) with its key colour replaced by
  // kHistorySea; -1 for pictures read from their own file.
  int turnedFrom = -1;
};

inline constexpr std::uint32_t kHistorySea = 0x3C78C8;

// Groups of the embedded list (first index and count).
inline constexpr int kManFirst = 0;
inline constexpr int kManCount = 7;
inline constexpr int kUkiFirst = 7;
inline constexpr int kUkiCount = 6;
inline constexpr int kFishFirst = 13;
inline constexpr int kFishCount = 45;
inline constexpr int kHookIndex = 58;
inline constexpr int kHistoryFirst = 59;
inline constexpr int kHistoryCount = 40;
inline constexpr int kBalloonFirst = 99;
inline constexpr int kBalloonCount = 4;
inline constexpr int kGaugeIndex = 103;
inline constexpr int kIconIndex = 104;
inline constexpr int kCertificateIndex = 105;
inline constexpr int kPictureCount = 106;

const std::vector<PictureEntry>& EmbeddedPictures();

// How the opaque part of a sprite is found before it is cut into rectangles.
enum class MaskRule {
  // Opaque wherever the pixel differs from the top-left pixel (the key).
  kKeyColour,
  // The figure's filled outline: key pixels that cannot be reached from the
  // picture's border through key pixels (4-neighbour steps) are opaque too.
  kFilledOutline,
  // Key pixels and ripple-coloured pixels are transparent.
  kKeyAndRipple,
};

inline constexpr std::uint32_t kRippleColour = 0xC0C0FF;

// The source of one stored outline.
struct ShapeSource {
  std::string file;  // picture below assets/
  MaskRule rule = MaskRule::kKeyColour;
  std::uint32_t expectedKey = 0;  // the key colour the picture must start with
  // The extent's top is the window's top edge rather than the first row in
  // use (the slanting float frames declare their extent that way).
  bool extentFromTop = false;
  // A row that starts a new band even when it repeats the row above (the
  // flat float keeps its two full-width rows as two bands); -1 for none.
  int bandBreakRow = -1;
  // The balloon caps' outlines are cut from an area as large as their window
  // measured in twips (15 per pixel) read as pixels; everything outside the
  // picture is solid there. 0 means the picture's own size.
  int canvasWidth = 0;
  int canvasHeight = 0;
};

inline constexpr int kSpriteSlotCount = 60;  // slots 0..59 carry outlines
inline constexpr int kBalloonEntryCount = 4;

// Slot 0..59 and balloon entry 0..3.
const ShapeSource& SpriteShapeSource(int slot);
const ShapeSource& BalloonShapeSource(int entry);

// The optional hand-drawn mask next to a picture: "man/man3.xpm" goes with
// "man/man3.mask.xpm".
std::string MaskFileFor(const std::string& file);

// Guesses the outline rule for any XPM path by its file name (manN, ukiN,
// fishNN, hook, balloonN, marker), for the command-line report. Returns the
// slot (0..59) or balloon entry (as -1 - entry) through *index, or false
// when the name is not one of ours.
bool SourceForFileName(const std::string& path, ShapeSource* source, int* index);

// Writes a generated source file only when its content changed, so that an
// unrelated picture edit does not recompile what depends on it. False when
// the file cannot be written.
bool WriteIfChanged(const std::string& path, const std::string& content);

}  // namespace marivo::art
