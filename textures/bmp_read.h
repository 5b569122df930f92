// bmp_read.h -- the pixel bytes of a 24-bit BMP image held in memory, without the GL
#pragma once

#include <cstddef>
#include <cstdint>

// What bmp_read_pixels found. When `ok` is false nothing else is meaningful.
struct BmpRead {
    bool ok;
    std::int32_t width;       // biWidth, the upload width
    std::int32_t height;      // biHeight, the upload height
    std::int32_t size_image;  // pixel bytes copied: biSizeImage as given, or computed when 0
};

// Reads the headers of the `length`-byte BMP image at `image` and replaces
// app.bmp_pixels with a zero-filled buffer of size_image + 4 bytes holding the
// pixel bytes in file order; for the keyword "rgb" or "envmap" (exactly) the
// first and third byte of every 3-byte step are exchanged, BGR becoming RGB.
// Returns ok false, leaving app.bmp_pixels untouched, for a wrong signature and
// for any image whose header would lead outside it: shorter than its headers, a
// pixel offset or pixel run past its end, negative sizes, a computed size that
// overflows 32 bits, or fewer pixel bytes than an upload in the keyword's
// format would read. Called by texture_from_bmp; touches no GL.
BmpRead bmp_read_pixels(const std::uint8_t* image, std::size_t length, const char* keyword);
