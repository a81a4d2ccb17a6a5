// Loading the whole set of embedded pictures from the XPM sources, with the
// derived history pictures made on the way.
#pragma once

#include <string>
#include <vector>

#include "tools/xpm_reader.h"

namespace marivo::art {

// The catch picture turned a quarter turn anticlockwise (so a fish hanging
// head up lies with its head to the left), its key colour now the sea.
xpm::Picture HistoryFromCatch(const xpm::Picture& catchPicture);

// All pictures of EmbeddedPictures(), in order. Fails on a missing file, a
// wrong size or a "None" pixel (the program's pictures are opaque).
bool LoadEmbeddedPictures(const std::string& assetsDir, std::vector<xpm::Picture>* pictures,
                          std::string* error);

}  // namespace marivo::art
