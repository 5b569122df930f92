// png_writer.h -- encodes a read-back frame as a PNG file image in memory
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum PngCompression : int {
    // Runs of equal bytes as copies, the rest as literals under a Huffman code
    // made for the frame: fast enough to keep up with the renderer.
    png_compression_fast = 0,
    // libdeflate at its strongest level: small files, for pictures that are kept.
    png_compression_small = 1,
};

// Encodes `rgba` (four bytes a pixel, bottom row first as the GL reads it back)
// as an 8-bit RGB PNG, top row first, at the front of `buffer`, which grows as
// needed and never shrinks. Returns the PNG's size; 0 for an empty image or
// when the compressor cannot be made.
std::size_t encode_png(const std::uint8_t* rgba, int width, int height, PngCompression compression,
                       std::vector<std::uint8_t>* buffer);
