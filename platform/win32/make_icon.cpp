// Build tool, run on the build machine: writes the program's icon as an
// .ico file from its XPM source, for the executable's resources.
//   make_icon <icon.xpm> <out.ico>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/win32/ico_format.h"
#include "tools/xpm_reader.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icon <icon.xpm> <out.ico>\n");
    return 2;
  }
  marivo::xpm::Picture picture;
  std::string error;
  if (!marivo::xpm::ReadXpmFile(argv[1], &picture, &error)) {
    std::fprintf(stderr, "make_icon: %s\n", error.c_str());
    return 1;
  }
  marivo::win32::IconImage image{picture.width, picture.height, {}};
  for (std::uint32_t p : picture.pixels) {
    image.pixels.push_back(p == marivo::xpm::kNone ? 0xFFFFFFu : p);
  }
  const auto ico = marivo::win32::IcoFile({image, marivo::win32::ScaleIcon(image, 16)});
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
  if (!out) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
