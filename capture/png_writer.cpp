// png_writer.cpp -- a minimal PNG encoder: one IHDR, one IDAT, IEND
#include "capture/png_writer.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "capture/deflate_runs.h"

// Completes the chunk whose data (`length` bytes) sits at `chunk` + 8: its
// length, type and CRC.
static void finish_chunk(std::uint8_t* chunk, const char* type, std::size_t length)
{
    put_u32_big_endian(chunk, static_cast<std::uint32_t>(length));
    std::memcpy(chunk + 4, type, 4);
    put_u32_big_endian(chunk + 8 + length, libdeflate_crc32(0, chunk + 4, length + 4));
}

// PNG row `y` (0 at the top) of the frame: a filter byte, then RGB. Every row
// is filtered with "up" (the byte above subtracted), which turns flat and
// vertically smooth areas into runs of zeros.
static void filter_row(const std::uint8_t* rgba, int width, int height, std::size_t y, std::uint8_t* row)
{
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    // The row above in the picture is the next one up in GL order; the first
    // row has zeros above it.
    const std::uint8_t* source = rgba + (static_cast<std::size_t>(height) - 1 - y) * stride;
    const std::uint8_t* above = y > 0 ? source + stride : nullptr;
    row[0] = 2;
    for (int x = 0; x < width; ++x) {
        for (int channel = 0; channel < 3; ++channel) {
            std::size_t at = 4 * static_cast<std::size_t>(x) + static_cast<std::size_t>(channel);
            row[1 + 3 * x + channel] = static_cast<std::uint8_t>(source[at] - (above ? above[at] : 0));
        }
    }
}

std::size_t encode_png(const std::uint8_t* rgba, int width, int height,
                       PngCompression compression, std::vector<std::uint8_t>* buffer)
{
    if (width < 1 || height < 1) {
        return 0;
    }
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3 + 1;
    const std::size_t rows = static_cast<std::size_t>(height);
    const RowFiller filter = [&](std::size_t y, std::uint8_t* row) { filter_row(rgba, width, height, y, row); };

    // Signature, IHDR (8 + 13 + 4), then the IDAT chunk's data straight from
    // the compressor, then its CRC and IEND. The buffer only ever grows:
    // clearing megabytes a frame would cost more than the encoding.
    constexpr std::size_t idat = 8 + 25;
    // libdeflate's strongest level, for --best; made once per thread, as it
    // holds hundreds of kilobytes of tables.
    thread_local std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> best(
        nullptr, libdeflate_free_compressor);
    if (compression == png_compression_small && !best) {
        best.reset(libdeflate_alloc_compressor(12));
        if (!best) {
            return 0;
        }
    }
    const std::size_t bound =
        std::max<std::size_t>(deflate_rows_bound(row_bytes, rows),
                              libdeflate_zlib_compress_bound(best.get(), row_bytes * rows));
    if (buffer->size() < idat + 8 + bound + 4 + 12) {
        buffer->resize(idat + 8 + bound + 4 + 12);
    }
    std::uint8_t* png = buffer->data();
    std::size_t compressed_size = 0;
    if (compression == png_compression_fast) {
        compressed_size = deflate_rows(row_bytes, rows, filter, png + idat + 8);
    } else {
        // libdeflate takes the filtered image whole.
        std::vector<std::uint8_t> raw(row_bytes * rows);
        for (std::size_t y = 0; y < rows; ++y) {
            filter(y, raw.data() + y * row_bytes);
        }
        compressed_size = libdeflate_zlib_compress(best.get(), raw.data(), raw.size(), png + idat + 8, bound);
        if (compressed_size == 0) {
            return 0;
        }
    }

    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::memcpy(png, signature, 8);
    std::uint8_t* header = png + 8 + 8;
    put_u32_big_endian(header, static_cast<std::uint32_t>(width));
    put_u32_big_endian(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;    // bits per channel
    header[9] = 2;    // colour type: RGB
    header[10] = 0;   // deflate
    header[11] = 0;   // adaptive filtering, one filter byte per row
    header[12] = 0;   // not interlaced
    finish_chunk(png + 8, "IHDR", 13);
    finish_chunk(png + idat, "IDAT", compressed_size);
    finish_chunk(png + idat + 12 + compressed_size, "IEND", 0);
    return idat + 12 + compressed_size + 12;
}
