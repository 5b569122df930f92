// deflate_runs.h -- a fast zlib stream for filtered image rows
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Writes row `index` (0 first) of the data to compress into `row`, which has
// room for the row and 16 bytes more.
using RowFiller = std::function<void(std::size_t index, std::uint8_t* row)>;

// The most bytes deflate_rows() writes for `rows` rows of `row_bytes` bytes.
std::size_t deflate_rows_bound(std::size_t row_bytes, std::size_t rows);

// A zlib stream, in one deflate block, of `rows` rows of `row_bytes` bytes
// made by `fill`: runs of a repeated byte become copies, the
// rest literals under a Huffman code made for this data. Every eighth row is
// asked for twice, so `fill` must give the same bytes each time. Writes at
// most deflate_rows_bound() bytes to `out` and returns how many.
std::size_t deflate_rows(std::size_t row_bytes, std::size_t rows, const RowFiller& fill, std::uint8_t* out);

// Stores `value` most significant byte first, as zlib and PNG store numbers.
inline void put_u32_big_endian(std::uint8_t* at, std::uint32_t value)
{
    for (int byte = 0; byte < 4; ++byte) {
        at[byte] = static_cast<std::uint8_t>(value >> (24 - 8 * byte));
    }
}
