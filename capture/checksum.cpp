// checksum.cpp -- Adler-32, sixteen bytes at a time
#include "capture/checksum.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::uint32_t adler_base = 65521;
// The most bytes whose sums fit 32 bits before they must be reduced (zlib's NMAX),
// rounded down to whole 16-byte vectors: 5552 is 347 of them.
constexpr std::size_t block_limit = 5552;

}  // namespace

#if defined(__SSE2__)

static std::uint64_t lane_sum(__m128i lanes)
{
    alignas(16) std::uint32_t part[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(part), lanes);
    return std::uint64_t{part[0]} + part[1] + part[2] + part[3];
}

std::uint32_t adler32_update(std::uint32_t adler, const std::uint8_t* data, std::size_t size)
{
    std::uint64_t s1 = adler & 0xFFFF;
    std::uint64_t s2 = adler >> 16;
    const __m128i zero = _mm_setzero_si128();
    // Within a vector, byte i adds (16 - i) times itself to s2.
    const __m128i weights_low = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weights_high = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (size >= 16) {
        const std::size_t block = (size < block_limit ? size : block_limit) & ~std::size_t{15};
        size -= block;
        // Across a block of n bytes, s2 gains n * s1 + sum over i of (n - i) * byte i.
        // The second term is 16 times the running byte sum before each vector,
        // plus each vector's own weighted sum.
        __m128i sum = zero;          // bytes so far in this block (two 64-bit lanes)
        __m128i sum_before = zero;   // `sum` added up before each vector
        __m128i weighted = zero;
        for (std::size_t i = 0; i < block; i += 16) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            sum_before = _mm_add_epi32(sum_before, sum);
            sum = _mm_add_epi32(sum, _mm_sad_epu8(bytes, zero));
            weighted = _mm_add_epi32(weighted,
                                     _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weights_low));
            weighted = _mm_add_epi32(weighted,
                                     _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weights_high));
        }
        s2 += s1 * block + 16 * lane_sum(sum_before) + lane_sum(weighted);
        s1 += lane_sum(sum);
        s1 %= adler_base;
        s2 %= adler_base;
        data += block;
    }
    for (std::size_t i = 0; i < size; ++i) {
        s1 += data[i];
        s2 += s1;
    }
    s1 %= adler_base;
    s2 %= adler_base;
    return static_cast<std::uint32_t>(s2 << 16 | s1);
}

#else

std::uint32_t adler32_update(std::uint32_t adler, const std::uint8_t* data, std::size_t size)
{
    return static_cast<std::uint32_t>(adler32_z(adler, data, size));
}

#endif
