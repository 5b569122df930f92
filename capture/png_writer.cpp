// png_writer.cpp -- a minimal PNG encoder: one IHDR, one IDAT, IEND
#include "capture/png_writer.h"

#include <zlib.h>

#include <array>
#include <cstring>

static void put_u32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

static void append_chunk(std::vector<std::uint8_t>* png, const char* type,
                         const std::uint8_t* data, std::size_t length)
{
    std::size_t start = png->size();
    png->resize(start + 12 + length);
    std::uint8_t* chunk = png->data() + start;
    put_u32(chunk, static_cast<std::uint32_t>(length));
    std::memcpy(chunk + 4, type, 4);
    if (length > 0) {
        std::memcpy(chunk + 8, data, length);
    }
    put_u32(chunk + 8 + length,
            static_cast<std::uint32_t>(crc32(0L, chunk + 4, static_cast<uInt>(length + 4))));
}

// The image as PNG rows: a filter byte, then RGB. Every row is filtered with
// "up" (the byte above subtracted), which turns flat and vertically smooth areas
// into runs of zeros.
static void filter_rows(const std::uint8_t* rgba, int width, int height, std::uint8_t* raw)
{
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3 + 1;
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source = rgba + static_cast<std::size_t>(height - 1 - y) * stride;
        // The row above in the picture is the next one up in GL order; the
        // first row has zeros above it.
        std::uint8_t* row = raw + static_cast<std::size_t>(y) * row_bytes;
        row[0] = 2;
        if (y == 0) {
            for (int x = 0; x < width; ++x) {
                std::memcpy(row + 1 + 3 * x, source + 4 * x, 3);
            }
            continue;
        }
        const std::uint8_t* above = source + stride;
        for (int x = 0; x < width; ++x) {
            row[1 + 3 * x] = static_cast<std::uint8_t>(source[4 * x] - above[4 * x]);
            row[2 + 3 * x] = static_cast<std::uint8_t>(source[4 * x + 1] - above[4 * x + 1]);
            row[3 + 3 * x] = static_cast<std::uint8_t>(source[4 * x + 2] - above[4 * x + 2]);
        }
    }
}

// Deflate's fixed code for each literal/length symbol, bit-reversed so it can be
// put into the least-significant-bit-first stream as is; and its length in bits.
struct FixedCode {
    std::uint32_t bits;
    std::uint32_t length;
};

static std::uint32_t reverse_bits(std::uint32_t code, std::uint32_t length)
{
    std::uint32_t reversed = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        reversed = (reversed << 1) | ((code >> i) & 1);
    }
    return reversed;
}

static FixedCode fixed_symbol_code(int symbol)
{
    if (symbol < 144) {
        return {reverse_bits(0x30 + static_cast<std::uint32_t>(symbol), 8), 8};
    }
    if (symbol < 256) {
        return {reverse_bits(0x190 + static_cast<std::uint32_t>(symbol - 144), 9), 9};
    }
    if (symbol < 280) {
        return {reverse_bits(static_cast<std::uint32_t>(symbol - 256), 7), 7};
    }
    return {reverse_bits(0xC0 + static_cast<std::uint32_t>(symbol - 280), 8), 8};
}

struct FixedTables {
    std::array<FixedCode, 256> literal;
    // For each copy length 3..258 at distance 1: length code, its extra bits and
    // the distance code (five zero bits), all in one.
    std::array<FixedCode, 259> copy;
};

static FixedTables make_fixed_tables()
{
    static const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    FixedTables tables{};
    for (int value = 0; value < 256; ++value) {
        tables.literal[static_cast<std::size_t>(value)] = fixed_symbol_code(value);
    }
    for (int length = 3; length <= 258; ++length) {
        int index = 28;
        while (base[index] > length) {
            --index;
        }
        FixedCode code = fixed_symbol_code(257 + index);
        code.bits |= static_cast<std::uint32_t>(length - base[index]) << code.length;
        code.length += static_cast<std::uint32_t>(extra[index]) + 5;
        tables.copy[static_cast<std::size_t>(length)] = code;
    }
    return tables;
}

// Bits go into `out` least significant first, as deflate packs them.
struct BitWriter {
    std::uint8_t* out;
    std::uint64_t buffer;
    std::uint32_t count;
};

static inline void put_bits(BitWriter* writer, std::uint32_t bits, std::uint32_t length)
{
    writer->buffer |= static_cast<std::uint64_t>(bits) << writer->count;
    writer->count += length;
    if (writer->count >= 32) {
        std::uint32_t word = static_cast<std::uint32_t>(writer->buffer);
        writer->out[0] = static_cast<std::uint8_t>(word);
        writer->out[1] = static_cast<std::uint8_t>(word >> 8);
        writer->out[2] = static_cast<std::uint8_t>(word >> 16);
        writer->out[3] = static_cast<std::uint8_t>(word >> 24);
        writer->out += 4;
        writer->buffer >>= 32;
        writer->count -= 32;
    }
}

// How many bytes from `at` on (at most `limit`) equal `value`.
static inline std::size_t run_length(const std::uint8_t* at, std::size_t limit, std::uint8_t value)
{
    const std::uint64_t pattern = 0x0101010101010101ull * value;
    std::size_t length = 0;
    while (length + 8 <= limit) {
        std::uint64_t word;
        std::memcpy(&word, at + length, 8);
        std::uint64_t differ = word ^ pattern;
        if (differ != 0) {
            return length + static_cast<std::size_t>(__builtin_ctzll(differ) / 8);
        }
        length += 8;
    }
    while (length < limit && at[length] == value) {
        ++length;
    }
    return length;
}

// A zlib stream of `raw` in one fixed-code deflate block that only repeats the
// previous byte: each run of equal bytes becomes a literal and a copy at
// distance 1. Writes at most raw_size * 9 / 8 + 16 bytes; returns how many.
static std::size_t deflate_runs(const std::uint8_t* raw, std::size_t raw_size, std::uint8_t* out)
{
    static const FixedTables tables = make_fixed_tables();
    out[0] = 0x78;   // deflate, 32K window
    out[1] = 0x01;   // fastest compression; header check: 0x7801 % 31 == 0
    BitWriter writer{out + 2, 0, 0};
    put_bits(&writer, 0x3, 3);   // final block, fixed codes

    std::size_t at = 0;
    while (at < raw_size) {
        std::uint8_t value = raw[at];
        const FixedCode& literal = tables.literal[value];
        put_bits(&writer, literal.bits, literal.length);
        ++at;
        std::size_t run = run_length(raw + at, raw_size - at, value);
        while (run >= 3) {
            std::size_t length = run < 258 ? run : 258;
            // A tail of 1 or 2 would be left over: keep it in this copy's reach.
            if (run - length > 0 && run - length < 3) {
                length = run - 3;
            }
            const FixedCode& copy = tables.copy[length];
            put_bits(&writer, copy.bits, copy.length);
            at += length;
            run -= length;
        }
        for (; run > 0; --run) {
            put_bits(&writer, literal.bits, literal.length);
            ++at;
        }
    }
    const FixedCode end_of_block = fixed_symbol_code(256);
    put_bits(&writer, end_of_block.bits, end_of_block.length);
    // Pad to a whole byte, flush, then the Adler-32 of the raw data.
    put_bits(&writer, 0, (8 - writer.count % 8) % 8);
    while (writer.count > 0) {
        *writer.out++ = static_cast<std::uint8_t>(writer.buffer);
        writer.buffer >>= 8;
        writer.count -= 8;
    }
    put_u32(writer.out, static_cast<std::uint32_t>(adler32(1L, raw, static_cast<uInt>(raw_size))));
    return static_cast<std::size_t>(writer.out + 4 - out);
}

static bool deflate_small(const std::uint8_t* raw, std::size_t raw_size,
                          std::vector<std::uint8_t>* compressed)
{
    uLongf size = compressBound(static_cast<uLong>(raw_size));
    compressed->resize(size);
    if (compress2(compressed->data(), &size, raw, static_cast<uLong>(raw_size), 9) != Z_OK) {
        return false;
    }
    compressed->resize(size);
    return true;
}

bool encode_png(const std::uint8_t* rgba, int width, int height, PngCompression compression,
                std::vector<std::uint8_t>* png)
{
    if (width < 1 || height < 1) {
        return false;
    }
    const std::size_t raw_size =
        (static_cast<std::size_t>(width) * 3 + 1) * static_cast<std::size_t>(height);
    // Kept between calls: the writer thread encodes frame after frame of one size.
    thread_local std::vector<std::uint8_t> raw;
    thread_local std::vector<std::uint8_t> compressed;
    raw.resize(raw_size);
    filter_rows(rgba, width, height, raw.data());

    if (compression == png_compression_fast) {
        compressed.resize(raw_size + raw_size / 8 + 16);
        compressed.resize(deflate_runs(raw.data(), raw_size, compressed.data()));
    } else if (!deflate_small(raw.data(), raw_size, &compressed)) {
        return false;
    }

    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::uint8_t header[13];
    put_u32(header, static_cast<std::uint32_t>(width));
    put_u32(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;    // bits per channel
    header[9] = 2;    // colour type: RGB
    header[10] = 0;   // deflate
    header[11] = 0;   // adaptive filtering, one filter byte per row
    header[12] = 0;   // not interlaced
    png->assign(signature, signature + 8);
    png->reserve(8 + 25 + compressed.size() + 12 + 12);
    append_chunk(png, "IHDR", header, sizeof header);
    append_chunk(png, "IDAT", compressed.data(), compressed.size());
    append_chunk(png, "IEND", nullptr, 0);
    return true;
}
