// deflate_runs.h -- a fast zlib stream for filtered image rows
#pragma once

#include <cstddef>
#include <cstdint>

// The most bytes deflate_runs() writes for `raw_size` bytes of input.
std::size_t deflate_runs_bound(std::size_t raw_size);

// A zlib stream of `raw` (PNG rows of `row_bytes` bytes each, the last may be
// short) in one deflate block: runs of a repeated byte become copies, everything
// else literals under a Huffman code made for this input. Writes at most
// deflate_runs_bound(raw_size) bytes to `out` and returns how many.
std::size_t deflate_runs(const std::uint8_t* raw, std::size_t raw_size, std::size_t row_bytes,
                         std::uint8_t* out);
