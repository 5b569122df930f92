// png_writer.cpp -- a minimal PNG encoder over zlib: one IHDR, one IDAT, IEND
#include "capture/png_writer.h"

#include <zlib.h>

#include <cstring>

static void put_u32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// Appends a chunk header (length and type) whose data the caller then writes at
// the returned offset; end_chunk adds the CRC once the data is in place.
static std::size_t begin_chunk(std::vector<std::uint8_t>* png, const char* type, std::size_t length)
{
    std::size_t start = png->size();
    png->resize(start + 8 + length);
    put_u32(png->data() + start, static_cast<std::uint32_t>(length));
    std::memcpy(png->data() + start + 4, type, 4);
    return start;
}

static void end_chunk(std::vector<std::uint8_t>* png, std::size_t start)
{
    std::size_t length = png->size() - start - 8;
    uLong crc = crc32(0L, png->data() + start + 4, static_cast<uInt>(length + 4));
    png->resize(png->size() + 4);
    put_u32(png->data() + png->size() - 4, static_cast<std::uint32_t>(crc));
}

bool encode_png(const std::uint8_t* rgba, int width, int height, int level,
                std::vector<std::uint8_t>* png)
{
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
    const std::size_t raw_size = (row_bytes + 1) * static_cast<std::size_t>(height);

    if (width < 1 || height < 1) {
        return false;
    }
    z_stream z{};
    // Run-length matching suits frames of large flat areas and is several times
    // faster than a full search; the encoder must keep up with the renderer.
    if (deflateInit2(&z, level, Z_DEFLATED, 15, 8, level == 0 ? Z_DEFAULT_STRATEGY : Z_RLE) != Z_OK) {
        return false;
    }

    png->assign(signature, signature + 8);
    std::size_t ihdr = begin_chunk(png, "IHDR", 13);
    std::uint8_t* header = png->data() + ihdr + 8;
    put_u32(header, static_cast<std::uint32_t>(width));
    put_u32(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;    // bits per channel
    header[9] = 2;    // colour type: RGB
    header[10] = 0;   // deflate
    header[11] = 0;   // adaptive filtering, one filter byte per row
    header[12] = 0;   // not interlaced
    end_chunk(png, ihdr);

    std::size_t bound = deflateBound(&z, static_cast<uLong>(raw_size));
    std::size_t idat = begin_chunk(png, "IDAT", bound);
    z.next_out = png->data() + idat + 8;
    z.avail_out = static_cast<uInt>(bound);

    // Each row is filtered with "up" (the byte above subtracted): over flat and
    // slowly changing areas that leaves runs of zeros for the run-length matcher.
    std::vector<std::uint8_t> previous(row_bytes, 0);
    std::vector<std::uint8_t> current(row_bytes);
    std::vector<std::uint8_t> filtered(row_bytes + 1);
    filtered[0] = 2;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source =
            rgba + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) * 4;
        for (int x = 0; x < width; ++x) {
            current[3 * x] = source[4 * x];
            current[3 * x + 1] = source[4 * x + 1];
            current[3 * x + 2] = source[4 * x + 2];
        }
        for (std::size_t i = 0; i < row_bytes; ++i) {
            filtered[i + 1] = static_cast<std::uint8_t>(current[i] - previous[i]);
        }
        previous.swap(current);
        z.next_in = filtered.data();
        z.avail_in = static_cast<uInt>(filtered.size());
        int status = deflate(&z, y == height - 1 ? Z_FINISH : Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            deflateEnd(&z);
            return false;
        }
    }
    std::size_t compressed = bound - z.avail_out;
    deflateEnd(&z);

    png->resize(idat + 8 + compressed);
    put_u32(png->data() + idat, static_cast<std::uint32_t>(compressed));
    end_chunk(png, idat);

    std::size_t iend = begin_chunk(png, "IEND", 0);
    end_chunk(png, iend);
    return true;
}
