// png_writer.h -- encodes a read-back frame as a PNG file image in memory
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum PngCompression : int {
    // Runs of equal bytes as copies, the rest as literals under a Huffman code
    // made for the frame: several times faster than a general deflate's fastest
    // level, so
    // the writer keeps up with the renderer, at about half the raw size.
    png_compression_fast = 0,
    // libdeflate at its strongest level: small files, for pictures that are kept.
    png_compression_small = 1,
};

// Encodes `rgba` (width x height pixels of four bytes each, red first, bottom row
// first as the GL reads a frame back) as a complete 8-bit RGB PNG, top row first,
// at the front of `buffer`, which grows as needed and is never shrunk. The alpha
// bytes are dropped. Returns the PNG's size in bytes; 0 for an empty image or
// when the compressor cannot be made. Called by the capture's writer thread, and by tests.
std::size_t encode_png(const std::uint8_t* rgba, int width, int height, PngCompression compression,
                       std::vector<std::uint8_t>* buffer);
