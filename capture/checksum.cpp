// checksum.cpp -- Adler-32, sixteen bytes at a time
#include "capture/checksum.h"

#include <zlib.h>

#include "capture/simd_paths.h"

#if QUORVEX_SSE2_PATHS
#include <emmintrin.h>
#endif

#if QUORVEX_SSE2_PATHS

namespace {

constexpr std::uint32_t adler_base = 65521;
// The most bytes whose sums fit 32 bits before they must be reduced (zlib's NMAX),
// rounded down to whole 16-byte vectors: 5552 is 347 of them.
constexpr std::size_t block_limit = 5552;

}  // namespace

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

#if QUORVEX_X86_PATHS
#include <immintrin.h>

__attribute__((target("pclmul,sse4.1"))) static inline __m128i load(const std::uint8_t* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// One lane moved on by 128 (or 512) bits and added to `next`.
__attribute__((target("pclmul,sse4.1"))) static inline __m128i fold(__m128i lane, __m128i constants,
                                                                     __m128i next)
{
    __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
    __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Folds 64 bytes at a time in four 128-bit lanes, then the lanes into one, then
// reduces it to 32 bits (Barrett). The constants are powers of x modulo the
// CRC-32 polynomial, bit-reflected as the CRC is: x^(4*128+32) and x^(4*128-32)
// for the four-lane fold, x^(128+32) and x^(128-32) for one lane, x^64 for the
// last 64 bits, then the polynomial itself and floor(x^64 / P) for the reduction.
// `size` is a multiple of 16, at least 64; `crc` is the running value inverted.
__attribute__((target("pclmul,sse4.1"))) static std::uint32_t crc32_folded(
    std::uint32_t crc, const std::uint8_t* data, std::size_t size)
{
    const __m128i fold_four = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i fold_one = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i fold_last = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low_32 = _mm_setr_epi32(~0, 0, ~0, 0);

    __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = load(data + 16);
    __m128i x3 = load(data + 32);
    __m128i x4 = load(data + 48);
    data += 64;
    size -= 64;
    while (size >= 64) {
        x1 = fold(x1, fold_four, load(data));
        x2 = fold(x2, fold_four, load(data + 16));
        x3 = fold(x3, fold_four, load(data + 32));
        x4 = fold(x4, fold_four, load(data + 48));
        data += 64;
        size -= 64;
    }
    x1 = fold(x1, fold_one, x2);
    x1 = fold(x1, fold_one, x3);
    x1 = fold(x1, fold_one, x4);
    while (size >= 16) {
        x1 = fold(x1, fold_one, load(data));
        data += 16;
        size -= 16;
    }

    // 128 bits to 64, then to 32.
    __m128i part = _mm_clmulepi64_si128(x1, fold_one, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), part);
    part = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, low_32), fold_last, 0x00);
    x1 = _mm_xor_si128(x1, part);

    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low_32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low_32), barrett, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t size)
{
    static const bool has_clmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    if (has_clmul && size >= 64) {
        const std::size_t folded = size & ~std::size_t{15};
        crc = ~crc32_folded(~crc, data, folded);
        data += folded;
        size -= folded;
    }
    return static_cast<std::uint32_t>(crc32_z(crc, data, size));
}

#else

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t size)
{
    return static_cast<std::uint32_t>(crc32_z(crc, data, size));
}

#endif
