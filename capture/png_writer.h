// png_writer.h -- encodes a read-back frame as a PNG file image in memory
#pragma once

#include <cstdint>
#include <vector>

enum PngCompression : int {
    // Runs of equal bytes only, with deflate's fixed codes: several times faster
    // than zlib's fastest setting, so the writer keeps up with the renderer.
    png_compression_fast = 0,
    // zlib at its highest level: small files, for pictures that are kept.
    png_compression_small = 1,
};

// Encodes `rgba` (width x height pixels of four bytes each, red first, bottom row
// first as the GL reads a frame back) into a complete 8-bit RGB PNG, top row
// first, replacing the contents of `png`. The alpha bytes are dropped. Returns
// false for an empty image or when zlib fails (out of memory). Called by the
// capture's writer thread, and by tests.
bool encode_png(const std::uint8_t* rgba, int width, int height, PngCompression compression,
                std::vector<std::uint8_t>* png);
