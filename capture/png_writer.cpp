// png_writer.cpp -- a minimal PNG encoder: one IHDR, one IDAT, IEND
#include "capture/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

static void put_u32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// Completes the chunk whose data (`length` bytes) sits at `chunk` + 8: its
// length, type and CRC.
static void finish_chunk(std::uint8_t* chunk, const char* type, std::size_t length)
{
    put_u32(chunk, static_cast<std::uint32_t>(length));
    std::memcpy(chunk + 4, type, 4);
    put_u32(chunk + 8 + length,
            static_cast<std::uint32_t>(crc32(0L, chunk + 4, static_cast<uInt>(length + 4))));
}

// The image as PNG rows: a filter byte, then RGB. Every row is filtered with
// "up" (the byte above subtracted), which turns flat and vertically smooth areas
// into runs of zeros. Writes one byte past the last row: `raw` needs it spare.
static void filter_rows(const std::uint8_t* rgba, int width, int height, std::uint8_t* raw)
{
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3 + 1;
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        // The row above in the picture is the next one up in GL order; the
        // first row has zeros above it.
        const std::uint8_t* source = rgba + static_cast<std::size_t>(height - 1 - y) * stride;
        const std::uint8_t* above = y > 0 ? source + stride : nullptr;
        std::uint8_t* row = raw + static_cast<std::size_t>(y) * row_bytes;
        row[0] = 2;
        // A pixel at a time as one 32-bit word, the four bytes subtracted apart
        // (no borrow between them). Each store writes a fourth byte that the
        // next pixel, or the next row's filter byte, overwrites.
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, source + 4 * x, 4);
            if (above) {
                std::uint32_t up;
                std::memcpy(&up, above + 4 * x, 4);
                pixel = ((pixel | 0x80808080u) - (up & 0x7F7F7F7Fu)) ^ ((pixel ^ ~up) & 0x80808080u);
            }
            std::memcpy(row + 1 + 3 * x, &pixel, 4);
        }
    }
}

// Bits go into `out` least significant first, as deflate packs them. Up to 56
// bits may be put between flushes; `out` needs 8 bytes to spare at the end.
struct BitWriter {
    std::uint8_t* out;
    std::uint64_t buffer;
    std::uint32_t count;
};

static inline void put_bits(BitWriter* writer, std::uint32_t bits, std::uint32_t length)
{
    writer->buffer |= static_cast<std::uint64_t>(bits) << writer->count;
    writer->count += length;
}

// Stores the whole bytes gathered so far, keeping the odd bits.
static inline void flush_bits(BitWriter* writer)
{
    std::uint64_t little = writer->buffer;
    if constexpr (std::endian::native == std::endian::big) {
        little = __builtin_bswap64(little);
    }
    std::memcpy(writer->out, &little, 8);
    writer->out += writer->count / 8;
    writer->buffer >>= writer->count & ~7u;
    writer->count &= 7;
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

constexpr int symbol_count = 286;   // literals, end of block, length codes
constexpr int end_of_block = 256;
// Deflate allows 15; at 14, four literals fit between two flushes of the bit
// writer, for a loss too small to measure.
constexpr std::uint32_t max_code_bits = 14;

// For each copy length 3..258: its length symbol, extra bits and their value.
struct LengthCode {
    std::uint16_t symbol;
    std::uint8_t extra_bits;
    std::uint8_t extra_value;
};

static std::array<LengthCode, 259> make_length_codes()
{
    static const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    std::array<LengthCode, 259> codes{};
    for (int length = 3; length <= 258; ++length) {
        int index = 28;
        while (base[index] > length) {
            --index;
        }
        codes[static_cast<std::size_t>(length)] = {static_cast<std::uint16_t>(257 + index),
                                                   static_cast<std::uint8_t>(extra[index]),
                                                   static_cast<std::uint8_t>(length - base[index])};
    }
    return codes;
}

// Huffman code lengths for `frequency` (symbols never used get 0), none longer
// than max_code_bits: where the tree comes out deeper, the counts are halved and
// the tree built again, which flattens it.
static void huffman_lengths(std::array<std::uint32_t, symbol_count> frequency,
                            std::array<std::uint8_t, symbol_count>* lengths)
{
    for (;;) {
        // Leaves sorted by count, then the two-queue construction: the next
        // node is always the smaller of the next leaf and the next inner node.
        std::array<std::uint16_t, symbol_count> leaves{};
        int used = 0;
        for (int symbol = 0; symbol < symbol_count; ++symbol) {
            if (frequency[static_cast<std::size_t>(symbol)] > 0) {
                leaves[static_cast<std::size_t>(used++)] = static_cast<std::uint16_t>(symbol);
            }
        }
        std::sort(leaves.begin(), leaves.begin() + used, [&](std::uint16_t a, std::uint16_t b) {
            return frequency[a] < frequency[b];
        });
        lengths->fill(0);
        if (used == 1) {
            (*lengths)[leaves[0]] = 1;
            return;
        }

        // Nodes 0..used-1 are the leaves in sorted order, the rest inner nodes.
        std::array<std::uint64_t, 2 * symbol_count> weight{};
        std::array<std::uint16_t, 2 * symbol_count> parent{};
        for (int i = 0; i < used; ++i) {
            weight[static_cast<std::size_t>(i)] = frequency[leaves[static_cast<std::size_t>(i)]];
        }
        int next_leaf = 0;
        int next_inner = used;
        int made = used;
        auto take_smallest = [&]() {
            if (next_leaf < used && (next_inner >= made || weight[static_cast<std::size_t>(next_leaf)] <=
                                                               weight[static_cast<std::size_t>(next_inner)])) {
                return next_leaf++;
            }
            return next_inner++;
        };
        while (made < 2 * used - 1) {
            int a = take_smallest();
            int b = take_smallest();
            weight[static_cast<std::size_t>(made)] =
                weight[static_cast<std::size_t>(a)] + weight[static_cast<std::size_t>(b)];
            parent[static_cast<std::size_t>(a)] = static_cast<std::uint16_t>(made);
            parent[static_cast<std::size_t>(b)] = static_cast<std::uint16_t>(made);
            ++made;
        }

        // Depths, from the root (the last node made) down.
        std::array<std::uint8_t, 2 * symbol_count> depth{};
        std::uint32_t deepest = 0;
        for (int node = made - 2; node >= 0; --node) {
            depth[static_cast<std::size_t>(node)] = static_cast<std::uint8_t>(
                depth[parent[static_cast<std::size_t>(node)]] + 1);
        }
        for (int i = 0; i < used; ++i) {
            (*lengths)[leaves[static_cast<std::size_t>(i)]] = depth[static_cast<std::size_t>(i)];
            deepest = std::max<std::uint32_t>(deepest, depth[static_cast<std::size_t>(i)]);
        }
        if (deepest <= max_code_bits) {
            return;
        }
        for (std::uint32_t& count : frequency) {
            count = count == 0 ? 0 : (count + 1) / 2;
        }
    }
}

// Deflate's canonical codes for `lengths`, bit-reversed so that they go into
// the least-significant-bit-first stream as they are.
static void canonical_codes(const std::array<std::uint8_t, symbol_count>& lengths,
                            std::array<std::uint16_t, symbol_count>* codes)
{
    std::array<std::uint32_t, max_code_bits + 1> per_length{};
    for (std::uint8_t length : lengths) {
        per_length[length] += 1;
    }
    per_length[0] = 0;
    std::array<std::uint32_t, max_code_bits + 1> next{};
    std::uint32_t code = 0;
    for (std::uint32_t bits = 1; bits <= max_code_bits; ++bits) {
        code = (code + per_length[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int symbol = 0; symbol < symbol_count; ++symbol) {
        std::uint32_t length = lengths[static_cast<std::size_t>(symbol)];
        std::uint32_t value = length ? next[length]++ : 0;
        std::uint32_t reversed = 0;
        for (std::uint32_t i = 0; i < length; ++i) {
            reversed = (reversed << 1) | ((value >> i) & 1);
        }
        (*codes)[static_cast<std::size_t>(symbol)] = static_cast<std::uint16_t>(reversed);
    }
}

// Walks `raw`, handing each stretch of literals to `literals(from, to)` and each
// run of at least three bytes that repeat the byte before them to
// `copies(length)`, in order. Six bytes are looked at at a time: where none
// starts such a run, all six are literals.
template <typename Literals, typename Copies>
static void scan_runs(const std::uint8_t* raw, std::size_t raw_size, Literals&& literals,
                      Copies&& copies)
{
    constexpr std::uint64_t lows = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    std::size_t at = 0;
    std::size_t literal_start = 0;
    while (at + 9 <= raw_size) {
        std::uint64_t word;
        std::uint64_t next;
        std::memcpy(&word, raw + at, 8);
        std::memcpy(&next, raw + at + 1, 8);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
            next = __builtin_bswap64(next);
        }
        // The high bit of byte k of `equal` is set exactly where byte k of the
        // window equals byte k + 1; of `starts`, where the three bytes after
        // byte k all repeat it (looked at for k = 0 to 5 only).
        std::uint64_t differ = word ^ next;
        std::uint64_t equal = ~((((differ & lows) + lows) | differ) & highs) & highs;
        std::uint64_t starts = equal & (equal >> 8) & (equal >> 16) & 0x0000808080808080ull;
        if (starts == 0) {
            at += 6;
            continue;
        }
        std::size_t first = at + static_cast<std::size_t>(__builtin_ctzll(starts) / 8);
        at = first + 1;
        std::size_t run = run_length(raw + at, raw_size - at, raw[first]);
        literals(literal_start, at);
        copies(run);
        at += run;
        literal_start = at;
    }
    while (at < raw_size) {
        at += 1;
        std::size_t run = run_length(raw + at, raw_size - at, raw[at - 1]);
        if (run >= 3) {
            literals(literal_start, at);
            copies(run);
            at += run;
            literal_start = at;
        }
    }
    literals(literal_start, raw_size);
}

// Each run becomes copies of at most 258 bytes; a tail of 1 or 2 would be too
// short for a copy of its own, so the copy before it leaves 3.
template <typename Copy>
static void split_run(std::size_t run, Copy&& copy)
{
    while (run > 0) {
        std::size_t length = run < 258 ? run : 258;
        if (run - length > 0 && run - length < 3) {
            length = run - 3;
        }
        copy(length);
        run -= length;
    }
}

// A zlib stream of `raw` (rows of `row_bytes`) in one deflate block whose only
// copies repeat the previous byte, under a Huffman code made for this frame.
// Searching for longer matches gains little on noise-like texture and costs
// most of the time; the gain is in short codes for the small differences "up"
// filtering leaves. The code is built from every fourth row, every symbol
// counted once more so that each has a code, and the frame is then coded in a
// single pass. Writes at most raw_size * 15 / 8 + 200 bytes to `out`; returns
// how many.
static std::size_t deflate_runs(const std::uint8_t* raw, std::size_t raw_size,
                                std::size_t row_bytes, std::uint8_t* out)
{
    static const std::array<LengthCode, 259> length_codes = make_length_codes();

    // Four tables taken in turn, so that equal bytes close together do not wait
    // on each other's counts.
    std::array<std::array<std::uint32_t, 256>, 4> counts{};
    std::array<std::uint32_t, symbol_count> frequency{};
    for (std::size_t row = 0; row * row_bytes < raw_size; row += 4) {
        const std::uint8_t* sample = raw + row * row_bytes;
        scan_runs(
            sample, std::min(row_bytes, raw_size - row * row_bytes),
            [&](std::size_t from, std::size_t to) {
                for (std::size_t i = from; i < to; ++i) {
                    counts[i & 3][sample[i]] += 1;
                }
            },
            [&](std::size_t run) {
                split_run(run, [&](std::size_t length) { frequency[length_codes[length].symbol] += 1; });
            });
    }
    for (std::size_t symbol = 0; symbol < symbol_count; ++symbol) {
        frequency[symbol] += 1;
        if (symbol < 256) {
            frequency[symbol] += counts[0][symbol] + counts[1][symbol] + counts[2][symbol] +
                                 counts[3][symbol];
        }
    }

    std::array<std::uint8_t, symbol_count> lengths{};
    std::array<std::uint16_t, symbol_count> codes{};
    huffman_lengths(frequency, &lengths);
    canonical_codes(lengths, &codes);
    // Code and length together, so a literal costs one table load.
    std::array<std::uint32_t, 256> literal{};
    for (std::size_t value = 0; value < 256; ++value) {
        literal[value] = static_cast<std::uint32_t>(codes[value]) | (std::uint32_t{lengths[value]} << 16);
    }

    out[0] = 0x78;   // deflate, 32K window
    out[1] = 0x01;   // fastest compression; header check: 0x7801 % 31 == 0
    BitWriter writer{out + 2, 0, 0};
    put_bits(&writer, 0x5, 3);                   // final block, dynamic codes
    put_bits(&writer, symbol_count - 257, 5);    // literal/length code lengths sent
    put_bits(&writer, 0, 5);                     // one distance code
    put_bits(&writer, 19 - 4, 4);                // all 19 code-length code lengths
    flush_bits(&writer);
    // The code-length code: lengths 0 to 15 all get 4-bit codes (the length's
    // own value, reversed); the repeat symbols 16 to 18 are not used.
    static const int code_length_order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
    for (int symbol : code_length_order) {
        put_bits(&writer, symbol <= 15 ? 4 : 0, 3);
        flush_bits(&writer);
    }
    auto put_code_length = [&](std::uint32_t length) {
        std::uint32_t reversed = ((length & 1) << 3) | ((length & 2) << 1) | ((length & 4) >> 1) |
                                 ((length & 8) >> 3);
        put_bits(&writer, reversed, 4);
        flush_bits(&writer);
    };
    for (std::uint8_t length : lengths) {
        put_code_length(length);
    }
    // The one distance code, distance 1, is one bit long: the bit 0.
    put_code_length(1);

    scan_runs(
        raw, raw_size,
        [&](std::size_t from, std::size_t to) {
            // The writer's state in locals: stores through `out` could otherwise
            // alias it and force a reload after every flush. Four codes of at
            // most 14 bits fit between flushes.
            std::uint8_t* at = writer.out;
            std::uint64_t buffer = writer.buffer;
            std::uint32_t count = writer.count;
            auto put = [&](std::uint32_t code) {
                buffer |= static_cast<std::uint64_t>(code & 0xFFFF) << count;
                count += code >> 16;
            };
            auto flush = [&]() {
                std::uint64_t little = buffer;
                if constexpr (std::endian::native == std::endian::big) {
                    little = __builtin_bswap64(little);
                }
                std::memcpy(at, &little, 8);
                at += count / 8;
                buffer >>= count & ~7u;
                count &= 7;
            };
            for (; from + 4 <= to; from += 4) {
                put(literal[raw[from]]);
                put(literal[raw[from + 1]]);
                put(literal[raw[from + 2]]);
                put(literal[raw[from + 3]]);
                flush();
            }
            for (; from < to; ++from) {
                put(literal[raw[from]]);
                flush();
            }
            writer = BitWriter{at, buffer, count};
        },
        [&](std::size_t run) {
            split_run(run, [&](std::size_t length) {
                const LengthCode& copy = length_codes[length];
                put_bits(&writer, codes[copy.symbol], lengths[copy.symbol]);
                put_bits(&writer, copy.extra_value, copy.extra_bits);
                put_bits(&writer, 0, 1);
                flush_bits(&writer);
            });
        });
    put_bits(&writer, codes[end_of_block], lengths[end_of_block]);

    // Pad to a whole byte, flush, then the Adler-32 of the raw data.
    put_bits(&writer, 0, (8 - writer.count % 8) % 8);
    flush_bits(&writer);
    put_u32(writer.out, static_cast<std::uint32_t>(adler32(1L, raw, static_cast<uInt>(raw_size))));
    return static_cast<std::size_t>(writer.out + 4 - out);
}

std::size_t encode_png(const std::uint8_t* rgba, int width, int height,
                       PngCompression compression, std::vector<std::uint8_t>* buffer)
{
    if (width < 1 || height < 1) {
        return 0;
    }
    const std::size_t raw_size =
        (static_cast<std::size_t>(width) * 3 + 1) * static_cast<std::size_t>(height);
    // Kept between calls: the writer thread encodes frame after frame of one size.
    thread_local std::vector<std::uint8_t> raw;
    raw.resize(raw_size + 1);
    filter_rows(rgba, width, height, raw.data());

    // Signature, IHDR (8 + 13 + 4), then the IDAT chunk's data straight from
    // the compressor, then its CRC and IEND. The buffer only ever grows:
    // clearing megabytes a frame would cost more than the encoding.
    constexpr std::size_t idat = 8 + 25;
    const std::size_t bound = std::max<std::size_t>(raw_size * 15 / 8 + 208,
                                                    compressBound(static_cast<uLong>(raw_size)));
    if (buffer->size() < idat + 8 + bound + 4 + 12) {
        buffer->resize(idat + 8 + bound + 4 + 12);
    }
    std::uint8_t* png = buffer->data();
    std::size_t compressed_size = 0;
    if (compression == png_compression_fast) {
        compressed_size = deflate_runs(raw.data(), raw_size, static_cast<std::size_t>(width) * 3 + 1,
                                       png + idat + 8);
    } else {
        uLongf size = static_cast<uLongf>(bound);
        if (compress2(png + idat + 8, &size, raw.data(), static_cast<uLong>(raw_size), 9) != Z_OK) {
            return 0;
        }
        compressed_size = size;
    }

    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::memcpy(png, signature, 8);
    std::uint8_t* header = png + 8 + 8;
    put_u32(header, static_cast<std::uint32_t>(width));
    put_u32(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;    // bits per channel
    header[9] = 2;    // colour type: RGB
    header[10] = 0;   // deflate
    header[11] = 0;   // adaptive filtering, one filter byte per row
    header[12] = 0;   // not interlaced
    finish_chunk(png + 8, "IHDR", 13);
    finish_chunk(png + idat, "IDAT", compressed_size);
    std::uint8_t* end = png + idat + 12 + compressed_size;
    finish_chunk(end, "IEND", 0);
    return idat + 12 + compressed_size + 12;
}
