// checksum.h -- the Adler-32 a zlib stream ends with, at memory speed
#pragma once

#include <cstddef>
#include <cstdint>

// The Adler-32 of `size` bytes at `data`, continuing from `adler` (1 to start):
// the same value as zlib's adler32(), computed sixteen bytes at a time where
// the processor allows.
std::uint32_t adler32_update(std::uint32_t adler, const std::uint8_t* data, std::size_t size);

// The CRC-32 of `size` bytes at `data`, continuing from `crc` (0 to start): the
// same value as zlib's crc32(), as PNG chunks end with. Uses carry-less
// multiplication where the processor has it.
std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
