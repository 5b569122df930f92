// deflate_runs.cpp -- one dynamic-Huffman deflate block of literals and byte runs
//
// Longer matches gain little on noise-like texture and cost most of the time;
// the gain is in short codes for the small differences PNG's "up" filter
// leaves, and in runs for flat areas. So the only copies repeat the previous
// byte (distance 1).
#include "capture/deflate_runs.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t symbol_count = 286;   // literals, end of block, length codes
constexpr std::size_t end_of_block = 256;
// Deflate allows 15. At 12, the codes of four literals fit in 48 bits, so a
// 64-bit buffer with up to 7 bits pending takes them in one go.
constexpr std::uint32_t max_code_bits = 12;

// Bits go out least significant first, as deflate packs them.
struct BitWriter {
    std::uint8_t* out;
    std::uint64_t buffer;
    std::uint32_t count;   // bits pending in `buffer`, at most 7 after a flush
};

// Stores the whole bytes gathered (writing 8: `out` needs them spare) and keeps
// the odd bits.
__attribute__((always_inline)) inline void flush_bits(std::uint8_t*& out, std::uint64_t& buffer, std::uint32_t& count)
{
    std::uint64_t little = buffer;
    if constexpr (std::endian::native == std::endian::big) {
        little = __builtin_bswap64(little);
    }
    std::memcpy(out, &little, 8);
    out += count / 8;
    buffer >>= count & ~7u;
    count &= 7;
}

// Puts `length` (at most 56) bits and flushes.
inline void put_bits(BitWriter* writer, std::uint64_t bits, std::uint32_t length)
{
    writer->buffer |= bits << writer->count;
    writer->count += length;
    flush_bits(writer->out, writer->buffer, writer->count);
}

// Where the first nonzero byte of a nonzero word lies in memory.
inline std::size_t first_nonzero_byte(std::uint64_t word)
{
    if constexpr (std::endian::native == std::endian::big) {
        return static_cast<std::size_t>(__builtin_clzll(word) / 8);
    }
    return static_cast<std::size_t>(__builtin_ctzll(word) / 8);
}

// How many bytes from `at` on (at most `limit`) equal `value`.
inline std::size_t run_length(const std::uint8_t* at, std::size_t limit, std::uint8_t value)
{
    const std::uint64_t pattern = 0x0101010101010101ull * value;
    std::size_t length = 0;
    for (; length + 8 <= limit; length += 8) {
        std::uint64_t word;
        std::memcpy(&word, at + length, 8);
        std::uint64_t differ = word ^ pattern;
        if (differ != 0) {
            return length + first_nonzero_byte(differ);
        }
    }
    while (length < limit && at[length] == value) {
        ++length;
    }
    return length;
}

// Sixteen bytes as one vector: the compiler's own SIMD, for any processor.
typedef std::uint8_t Bytes16 __attribute__((vector_size(16)));

inline Bytes16 load16(const std::uint8_t* at)
{
    Bytes16 bytes;
    std::memcpy(&bytes, at, 16);
    return bytes;
}

// The first of the sixteen positions from `at` on that starts a run, or 16 where
// none does; reads 19 bytes.
__attribute__((always_inline)) inline std::size_t first_run_start(const std::uint8_t* at)
{
    Bytes16 here = load16(at);
    auto starts = (here == load16(at + 1)) & (here == load16(at + 2)) & (here == load16(at + 3));
    std::uint64_t half[2];
    std::memcpy(half, &starts, 16);
    return half[0] ? first_nonzero_byte(half[0]) : half[1] ? 8 + first_nonzero_byte(half[1]) : 16;
}

// Walks `raw`, handing in order each stretch of literals to `literals(from,
// to)` and each run of three or more bytes repeating the byte before them to
// `copies(length)`. Sixteen positions are tested at a time.
template <typename Literals, typename Copies>
void scan_runs(const std::uint8_t* raw, std::size_t raw_size, Literals&& literals, Copies&& copies)
{
    std::size_t at = 0;
    std::size_t literal_start = 0;
    auto take_run = [&](std::size_t first) {
        // Byte `first` stays a literal; the bytes after it that repeat it are copied.
        at = first + 1;
        std::size_t run = run_length(raw + at, raw_size - at, raw[first]);
        literals(literal_start, at);
        copies(run);
        at += run;
        literal_start = at;
    };
    while (at + 19 <= raw_size) {
        const std::size_t first = first_run_start(raw + at);
        if (first == 16) {
            at += 16;
        } else {
            take_run(at + first);
        }
    }
    while (at + 3 < raw_size) {
        // The three bytes after `at` all repeat it: a run worth a copy.
        if (raw[at + 1] == raw[at] && raw[at + 2] == raw[at] && raw[at + 3] == raw[at]) {
            take_run(at);
        } else {
            ++at;
        }
    }
    literals(literal_start, raw_size);
}

// A run becomes copies of at most 258 bytes; the one before a tail of 1 or 2
// (too short for a copy) leaves 3.
template <typename Copy>
__attribute__((always_inline)) inline void split_run(std::size_t run, Copy&& copy)
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

// Calls each(length, symbol, extra_bits, extra_value) for every copy length
// 3..258. Length symbols 257..284 take 3..257 in groups of 1 << extra bits
// (none for the first eight, then one more every four); 285 is 258 alone.
template <typename Each>
void for_each_copy_length(Each&& each)
{
    for (std::uint32_t index = 0, base = 3; index < 28; ++index) {
        const std::uint32_t extra = index < 8 ? 0 : index / 4 - 1;
        for (std::uint32_t length = base; length < std::min(base + (1u << extra), 258u); ++length) {
            each(length, 257 + index, extra, length - base);
        }
        base += 1u << extra;
    }
    each(258u, 285u, 0u, 0u);
}

using Lengths = std::array<std::uint8_t, symbol_count>;

// Huffman code lengths for `frequency` (every symbol counted at least once),
// none longer than max_code_bits: a deeper tree is flattened by halving the
// counts and rebuilding.
void huffman_lengths(std::array<std::uint32_t, symbol_count> frequency, Lengths* lengths)
{
    // Nodes 0..285 are the symbols, the rest inner nodes, each made after its
    // children; ties go to the lower node, so every platform builds one tree.
    using Node = std::pair<std::uint64_t, std::uint16_t>;   // weight, node
    constexpr std::size_t root = 2 * symbol_count - 2;
    for (;;) {
        std::priority_queue<Node, std::vector<Node>, std::greater<>> smallest;
        for (std::uint16_t symbol = 0; symbol < symbol_count; ++symbol) {
            smallest.emplace(frequency[symbol], symbol);
        }
        std::array<std::uint16_t, root> parent{};
        for (std::uint16_t made = symbol_count; made <= root; ++made) {
            const Node a = smallest.top();
            smallest.pop();
            const Node b = smallest.top();
            smallest.pop();
            parent[a.second] = parent[b.second] = made;
            smallest.emplace(a.first + b.first, made);
        }
        std::array<std::uint8_t, root + 1> depth{};
        for (std::size_t node = root; node-- > 0;) {
            depth[node] = static_cast<std::uint8_t>(depth[parent[node]] + 1);
        }
        std::copy_n(depth.begin(), symbol_count, lengths->begin());
        if (*std::max_element(lengths->begin(), lengths->end()) <= max_code_bits) {
            return;
        }
        for (std::uint32_t& count : frequency) {
            count = (count + 1) / 2;
        }
    }
}

// Deflate's canonical codes for `lengths`, bit-reversed for the stream.
void canonical_codes(const Lengths& lengths, std::array<std::uint16_t, symbol_count>* codes)
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
    for (std::size_t symbol = 0; symbol < symbol_count; ++symbol) {
        std::uint32_t length = lengths[symbol];
        std::uint32_t value = length ? next[length]++ : 0;
        std::uint32_t reversed = 0;
        for (std::uint32_t i = 0; i < length; ++i) {
            reversed = (reversed << 1) | ((value >> i) & 1);
        }
        (*codes)[symbol] = static_cast<std::uint16_t>(reversed);
    }
}

// Symbol counts from every eighth row, at an eighth of the cost of all rows.
// Every symbol is counted once more, so that each gets a code.
std::array<std::uint32_t, symbol_count> sample_frequencies(std::size_t row_bytes, std::size_t rows,
                                                           const RowFiller& fill, std::uint8_t* row)
{
    // Four tables in turn, so equal bytes close together do not wait on each other.
    std::array<std::array<std::uint32_t, 256>, 4> counts{};
    std::array<std::uint32_t, 259> copies{};
    for (std::size_t index = 0; index < rows; index += 8) {
        fill(index, row);
        scan_runs(
            row, row_bytes,
            [&](std::size_t from, std::size_t to) {
                for (std::size_t i = from; i < to; ++i) {
                    counts[i & 3][row[i]] += 1;
                }
            },
            [&](std::size_t run) {
                split_run(run, [&](std::size_t length) { copies[length] += 1; });
            });
    }
    std::array<std::uint32_t, symbol_count> frequency;
    frequency.fill(1);
    for (std::size_t symbol = 0; symbol < 256; ++symbol) {
        frequency[symbol] += counts[0][symbol] + counts[1][symbol] + counts[2][symbol] + counts[3][symbol];
    }
    for_each_copy_length([&](auto length, auto symbol, auto, auto) { frequency[symbol] += copies[length]; });
    return frequency;
}

// The block header: the code lengths of all 286 literal/length symbols and the
// one distance code, each length 0..15 coded as its own 4 bits, reversed.
void put_block_header(BitWriter* writer, const Lengths& lengths)
{
    put_bits(writer, 0x5, 3);                  // final block, dynamic codes
    put_bits(writer, symbol_count - 257, 5);   // literal/length code lengths sent
    put_bits(writer, 0, 5);                    // one distance code
    put_bits(writer, 19 - 4, 4);               // all 19 code-length code lengths
    static const int code_length_order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
    for (int symbol : code_length_order) {
        put_bits(writer, symbol <= 15 ? 4 : 0, 3);   // the repeat symbols 16..18 are unused
    }
    static const std::uint8_t reversed[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    for (std::uint8_t length : lengths) {
        put_bits(writer, reversed[length], 4);
    }
    // The one distance code, distance 1, is one bit long: the bit 0.
    put_bits(writer, reversed[1], 4);
}

// The block's body: stretches of literals go out four at a time (two table
// loads), the rest one by one (`codes`, `lengths`), runs as copies. `pairs`
// holds two literals' codes, indexed by both bytes, the first in the low eight
// bits; it and `copy` hold their codes' lengths in the top eight bits.
BitWriter put_runs_and_literals(const std::uint8_t* raw, std::size_t raw_size, const std::uint32_t* pairs,
                                const std::uint16_t* codes, const std::uint8_t* lengths,
                                const std::array<std::uint32_t, 259>& copy, BitWriter writer)
{
    // The writer's state in locals: stores through `out` could otherwise alias it.
    std::uint8_t* out = writer.out;
    std::uint64_t buffer = writer.buffer;
    std::uint32_t count = writer.count;
    auto put = [&](std::uint64_t code, std::uint32_t length) __attribute__((always_inline)) {
        buffer |= code << count;
        count += length;
        flush_bits(out, buffer, count);
    };
    scan_runs(
        raw, raw_size,
        [&](std::size_t from, std::size_t to) __attribute__((always_inline)) {
            // Four literals are at most 48 bits: with 7 pending they still fit.
            for (; from + 4 <= to; from += 4) {
                const std::uint32_t first = pairs[raw[from] | (raw[from + 1] << 8)];
                const std::uint32_t second = pairs[raw[from + 2] | (raw[from + 3] << 8)];
                put((first & 0xFFFFFF) | (static_cast<std::uint64_t>(second & 0xFFFFFF) << (first >> 24)),
                    (first >> 24) + (second >> 24));
            }
            for (; from < to; ++from) {
                put(codes[raw[from]], lengths[raw[from]]);
            }
        },
        [&](std::size_t run) __attribute__((always_inline)) {
            split_run(run, [&](std::size_t length) __attribute__((always_inline)) {
                put(copy[length] & 0xFFFFFF, copy[length] >> 24);
            });
        });
    return BitWriter{out, buffer, count};
}

}  // namespace

std::size_t deflate_rows_bound(std::size_t row_bytes, std::size_t rows)
{
    // At most 12 bits a byte, a header under 160 bytes, the checksum, and the 8
    // bytes a store may touch.
    return 2 + (row_bytes * rows + 1) / 2 * 3 + 160 + 4 + 8;
}

std::size_t deflate_rows(std::size_t row_bytes, std::size_t rows, const RowFiller& fill, std::uint8_t* out)
{
    // One row at a time, coded while it is in the cache; 16 bytes spare.
    thread_local std::vector<std::uint8_t> row;
    row.resize(row_bytes + 16);

    Lengths lengths{};
    std::array<std::uint16_t, symbol_count> codes{};
    huffman_lengths(sample_frequencies(row_bytes, rows, fill, row.data()), &lengths);
    canonical_codes(lengths, &codes);

    // Two literals' codes by both bytes (the first in the low bits of both),
    // their total length in the top eight.
    thread_local std::vector<std::uint32_t> pairs(65536);
    for (std::uint32_t second = 0; second < 256; ++second) {
        const std::uint32_t second_code = codes[second];
        const std::uint32_t second_length = lengths[second];
        std::uint32_t* with_second = pairs.data() + (second << 8);
        for (std::uint32_t first = 0; first < 256; ++first) {
            with_second[first] = codes[first] | (second_code << lengths[first]) |
                         ((lengths[first] + second_length) << 24);
        }
    }
    // Each copy length's symbol, extra bits and the distance code's 0 bit as
    // one code, its length in the top bits.
    std::array<std::uint32_t, 259> copy_bits{};
    for_each_copy_length([&](std::uint32_t length, std::uint32_t symbol, std::uint32_t extra, std::uint32_t value) {
        copy_bits[length] = codes[symbol] | (value << lengths[symbol]) | ((lengths[symbol] + extra + 1) << 24);
    });

    out[0] = 0x78;   // deflate, 32K window
    out[1] = 0x01;   // fastest compression; header check: 0x7801 % 31 == 0
    BitWriter writer{out + 2, 0, 0};
    put_block_header(&writer, lengths);

    // Runs end with their row: a filter byte rarely repeats the byte before it.
    std::uint32_t adler = 1;
    for (std::size_t index = 0; index < rows; ++index) {
        fill(index, row.data());
        adler = libdeflate_adler32(adler, row.data(), row_bytes);
        writer = put_runs_and_literals(row.data(), row_bytes, pairs.data(), codes.data(), lengths.data(),
                                       copy_bits, writer);
    }
    put_bits(&writer, codes[end_of_block], lengths[end_of_block]);

    // Pad to a whole byte, then the Adler-32, most significant byte first.
    put_bits(&writer, 0, (8 - writer.count % 8) % 8);
    put_u32_big_endian(writer.out, adler);
    return static_cast<std::size_t>(writer.out + 4 - out);
}
