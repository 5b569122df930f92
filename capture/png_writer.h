// png_writer.h -- encodes a read-back frame as a PNG file image in memory
#pragma once

#include <cstdint>
#include <vector>

// Encodes `rgba` (width x height pixels of four bytes each, red first, bottom row
// first as the GL reads a frame back) into a complete 8-bit RGB PNG, top row first,
// replacing the contents of `png`. The alpha bytes are dropped. `level` is the
// zlib compression level, 0 to 9. Returns false for an empty image or when zlib
// fails (out of memory). Called by the capture's writer thread, and by tests.
bool encode_png(const std::uint8_t* rgba, int width, int height, int level,
                std::vector<std::uint8_t>* png);
