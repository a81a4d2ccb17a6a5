#include "tools/picture_set.h"

#include "tools/asset_manifest.h"

namespace marivo::art {

xpm::Picture HistoryFromCatch(const xpm::Picture& catchPicture) {
  xpm::Picture turned;
  turned.width = catchPicture.height;
  turned.height = catchPicture.width;
  turned.pixels.resize(catchPicture.pixels.size());
  if (catchPicture.pixels.empty()) return turned;
  const std::uint32_t key = catchPicture.At(0, 0);
  for (int y = 0; y < catchPicture.height; ++y) {
    for (int x = 0; x < catchPicture.width; ++x) {
      // The top row becomes the left column, read from the bottom up.
      const int tx = y;
      const int ty = catchPicture.width - 1 - x;
      const std::uint32_t p = catchPicture.At(x, y);
      turned.pixels[ty * turned.width + tx] = p == key ? kHistorySea : p;
    }
  }
  return turned;
}

bool LoadEmbeddedPictures(const std::string& assetsDir, std::vector<xpm::Picture>* pictures,
                          std::string* error) {
  const std::vector<PictureEntry>& entries = EmbeddedPictures();
  std::vector<xpm::Picture> loaded(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PictureEntry& entry = entries[i];
    if (entry.turnedFrom >= 0) {
      loaded[i] = HistoryFromCatch(loaded[entry.turnedFrom]);
    } else {
      const std::string path = assetsDir + "/" + entry.file;
      if (!xpm::ReadXpmFile(path, &loaded[i], error)) return false;
      if (loaded[i].width != entry.width || loaded[i].height != entry.height) {
        *error = path + ": is " + std::to_string(loaded[i].width) + "x" +
                 std::to_string(loaded[i].height) + ", must be " + std::to_string(entry.width) +
                 "x" + std::to_string(entry.height);
        return false;
      }
      for (std::uint32_t p : loaded[i].pixels) {
        if (p == xpm::kNone) {
          *error = path +
                   ": uses \"None\"; pictures must be opaque (the key colour marks the "
                   "background)";
          return false;
        }
      }
    }
    loaded[i].name = entry.name;
  }
  *pictures = std::move(loaded);
  return true;
}

}  // namespace marivo::art
