// bmp_test_image.h -- small BMP file images, built byte by byte, for the decoder tests
#pragma once

#include <cstdint>
#include <vector>

// Header fields a test may change; the rest are those of a plain 24-bit BMP.
struct BmpFields {
    std::int32_t width = 4;
    std::int32_t height = 4;
    std::int16_t bit_count = 24;
    std::int32_t size_image = 0;
    std::int32_t off_bits = 54;
};

// Writes `value` little-endian into `bytes` at `offset`.
inline void put_le(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value,
                   int count)
{
    for (int i = 0; i < count; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// A BMP image: headers with `fields`, filler bytes 0xEE up to off_bits, then
// `pixels`, then two zero bytes, as the built-in images end.
inline std::vector<std::uint8_t> make_bmp(const BmpFields& fields,
                                          const std::vector<std::uint8_t>& pixels)
{
    const std::size_t start = fields.off_bits > 54 ? std::size_t(fields.off_bits) : 54;
    std::vector<std::uint8_t> bytes(start, 0xEE);
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    bytes.push_back(0);
    bytes.push_back(0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put_le(bytes, 2, static_cast<std::uint32_t>(bytes.size()), 4);
    put_le(bytes, 6, 0, 4);
    put_le(bytes, 10, static_cast<std::uint32_t>(fields.off_bits), 4);
    put_le(bytes, 14, 40, 4);
    put_le(bytes, 18, static_cast<std::uint32_t>(fields.width), 4);
    put_le(bytes, 22, static_cast<std::uint32_t>(fields.height), 4);
    put_le(bytes, 26, 1, 2);
    put_le(bytes, 28, static_cast<std::uint16_t>(fields.bit_count), 2);
    put_le(bytes, 30, 0, 4);
    put_le(bytes, 34, static_cast<std::uint32_t>(fields.size_image), 4);
    put_le(bytes, 38, 2834, 4);
    put_le(bytes, 42, 2834, 4);
    put_le(bytes, 46, 0, 4);
    put_le(bytes, 50, 0, 4);
    return bytes;
}

// `count` bytes in a pattern with no repeat every 3 bytes, so a misplaced
// channel exchange shows.
inline std::vector<std::uint8_t> pattern_bytes(std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251 + 1);
    }
    return bytes;
}

// `bytes` with byte i and i + 2 exchanged for i = 0, 3, 6, ... below `count`.
inline std::vector<std::uint8_t> exchanged(std::vector<std::uint8_t> bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; i += 3) {
        std::swap(bytes[i], bytes[i + 2]);
    }
    return bytes;
}
