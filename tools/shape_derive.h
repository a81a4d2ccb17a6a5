// Cutting a sprite into the rectangle list of its window outline.
//
// The game carries only the results (generated constant data); this is the
// code that makes them, shared by the generator, the command-line report and
// the test that re-derives every outline from the committed pictures.
#pragma once

#include <string>
#include <vector>

#include "shapes/shape_record.h"
#include "tools/asset_manifest.h"
#include "tools/xpm_reader.h"

namespace marivo::art {

struct DerivedShape {
  ShapeRect bound;
  std::vector<ShapeRect> rects;
};

// Which pixels of the picture are opaque, row-major. `mask` may be null; when
// given it must have the picture's size: white forces a pixel opaque, black
// forces it transparent, "None" leaves it to the rule.
std::vector<bool> OpaquePixels(const xpm::Picture& picture, const xpm::Picture* mask,
                               MaskRule rule);

// Spans per row, bands, order and extent for one source. Fails when the mask
// does not fit the picture.
bool DeriveShape(const xpm::Picture& picture, const xpm::Picture* mask, const ShapeSource& source,
                 DerivedShape* shape, std::string* error);

// Reads the picture (and its mask, when there is one) of `source` from
// `assetsDir` and derives it. Warns through *error also when the picture does
// not start with the expected key colour (that is an error too).
bool DeriveFromFiles(const std::string& assetsDir, const ShapeSource& source, DerivedShape* shape,
                     std::string* error);

// Same as DeriveFromFiles for a picture at any path, its mask beside it.
bool DeriveFromPath(const std::string& path, const ShapeSource& source, DerivedShape* shape,
                    std::string* error);

// The pixels a mask file forced transparent although the rule alone keeps
// them, and the ones it forced opaque although the rule drops them.
struct MaskEffect {
  int cleared = 0;
  int kept = 0;
};
MaskEffect MeasureMask(const xpm::Picture& picture, const xpm::Picture& mask, MaskRule rule);

}  // namespace marivo::art
