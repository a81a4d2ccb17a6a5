// A small PNG writer: 24-bit RGB, deflate with the fixed codes.
// Used for the sprite contact sheet and for screenshots of the off-screen
// window layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marivo {

// Writes width x height pixels (0xRRGGBB, row-major from the top-left) to a
// PNG file. Returns false when the size is not positive or the file cannot be
// written completely.
bool WritePng(const std::string& path, int width, int height, const std::uint32_t* rgb);

// The same PNG as bytes in memory; empty for a size that is not positive.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::uint32_t* rgb);

}  // namespace marivo
