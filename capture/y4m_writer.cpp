// y4m_writer.cpp -- YUV4MPEG2 stream header and BT.601 4:2:0 conversion
#include "capture/y4m_writer.h"

#include <cstdio>
#include <cstring>

#include "capture/simd_paths.h"

#if QUORVEX_SSE2_PATHS
#include <emmintrin.h>
#endif

std::string y4m_stream_header(int width, int height, int fps_numerator, int fps_denominator)
{
    char header[128];
    std::snprintf(header, sizeof header, "YUV4MPEG2 W%d H%d F%d:%d Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n",
                  width, height, fps_numerator, fps_denominator);
    return header;
}

std::size_t y4m_frame_size(int width, int height)
{
    std::size_t luma = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return luma + luma / 2;
}

// BT.601 in limited range, the coefficients scaled by 32768 so that they fit
// 16-bit lanes: Y = 16 + (65.481 R + 128.553 G + 24.966 B) / 255. The chroma
// rows sum to zero, so greys get exactly 128; they are applied to the sum of a
// 2x2 block, hence two more bits to shift out.
static constexpr int y_r = 8414, y_g = 16519, y_b = 3208;
static constexpr int cb_r = -4857, cb_g = -9535, cb_b = 14392;
static constexpr int cr_r = 14392, cr_g = -12052, cr_b = -2340;
static constexpr int luma_offset = (16 << 15) + (1 << 14);
static constexpr int chroma_offset = (128 << 17) + (1 << 16);

static std::uint8_t luma(const std::uint8_t* pixel)
{
    return static_cast<std::uint8_t>((y_r * pixel[0] + y_g * pixel[1] + y_b * pixel[2] + luma_offset) >> 15);
}

// One 2x2 block: four luma samples and one of each chroma.
static void convert_block(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* y_top,
                          std::uint8_t* y_bottom, std::uint8_t* cb, std::uint8_t* cr)
{
    y_top[0] = luma(a);
    y_top[1] = luma(a + 4);
    y_bottom[0] = luma(b);
    y_bottom[1] = luma(b + 4);
    int r = a[0] + a[4] + b[0] + b[4];
    int g = a[1] + a[5] + b[1] + b[5];
    int bl = a[2] + a[6] + b[2] + b[6];
    *cb = static_cast<std::uint8_t>((cb_r * r + cb_g * g + cb_b * bl + chroma_offset) >> 17);
    *cr = static_cast<std::uint8_t>((cr_r * r + cr_g * g + cr_b * bl + chroma_offset) >> 17);
}

#if QUORVEX_SSE2_PATHS
// The same arithmetic as convert_block, eight pixels of two rows at a time.
// Pixels are widened to 16 bits; a multiply-add against (c_r, c_g, c_b, 0)
// gives r*c_r + g*c_g and b*c_b in the two halves of each pixel, which one more
// add joins.
static __m128i weigh_pixels(__m128i pixels16, __m128i coefficients)
{
    __m128i halves = _mm_madd_epi16(pixels16, coefficients);
    return _mm_add_epi32(halves, _mm_shuffle_epi32(halves, _MM_SHUFFLE(2, 3, 0, 1)));
}

// Luma of four RGBA pixels, as the low four bytes.
static __m128i luma4(__m128i pixels, __m128i coefficients)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i low = weigh_pixels(_mm_unpacklo_epi8(pixels, zero), coefficients);
    __m128i high = weigh_pixels(_mm_unpackhi_epi8(pixels, zero), coefficients);
    // Each pixel's sum sits in lanes 0 and 2 of its half.
    __m128i sums = _mm_unpacklo_epi64(_mm_shuffle_epi32(low, _MM_SHUFFLE(3, 3, 2, 0)),
                                      _mm_shuffle_epi32(high, _MM_SHUFFLE(3, 3, 2, 0)));
    sums = _mm_srai_epi32(_mm_add_epi32(sums, _mm_set1_epi32(luma_offset)), 15);
    sums = _mm_packs_epi32(sums, sums);
    return _mm_packus_epi16(sums, sums);
}

// The channel sums of the two 2x2 blocks in four pixels of each of two rows,
// as 16-bit (r, g, b, a, r, g, b, a).
static __m128i block_sums(__m128i top, __m128i bottom)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(top, zero), _mm_unpacklo_epi8(bottom, zero));
    __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(top, zero), _mm_unpackhi_epi8(bottom, zero));
    low = _mm_add_epi16(low, _mm_srli_si128(low, 8));
    high = _mm_add_epi16(high, _mm_srli_si128(high, 8));
    return _mm_unpacklo_epi64(low, high);
}

// One chroma sample for each of four blocks, as the low four bytes.
static __m128i chroma4(__m128i sums_a, __m128i sums_b, __m128i coefficients)
{
    __m128i a = weigh_pixels(sums_a, coefficients);
    __m128i b = weigh_pixels(sums_b, coefficients);
    __m128i values = _mm_unpacklo_epi64(_mm_shuffle_epi32(a, _MM_SHUFFLE(3, 3, 2, 0)),
                                        _mm_shuffle_epi32(b, _MM_SHUFFLE(3, 3, 2, 0)));
    values = _mm_srai_epi32(_mm_add_epi32(values, _mm_set1_epi32(chroma_offset)), 17);
    values = _mm_packs_epi32(values, values);
    return _mm_packus_epi16(values, values);
}

static void store4(std::uint8_t* at, __m128i value)
{
    int word = _mm_cvtsi128_si32(value);
    std::memcpy(at, &word, 4);
}
#endif

void rgba_to_yuv420(const std::uint8_t* rgba, int width, int height, std::uint8_t* yuv)
{
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t chroma_width = static_cast<std::size_t>(width / 2);
    std::uint8_t* y_plane = yuv;
    std::uint8_t* cb_plane = yuv + static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::uint8_t* cr_plane = cb_plane + chroma_width * static_cast<std::size_t>(height / 2);
#if QUORVEX_SSE2_PATHS
    const __m128i y_weights = _mm_setr_epi16(y_r, y_g, y_b, 0, y_r, y_g, y_b, 0);
    const __m128i cb_weights = _mm_setr_epi16(cb_r, cb_g, cb_b, 0, cb_r, cb_g, cb_b, 0);
    const __m128i cr_weights = _mm_setr_epi16(cr_r, cr_g, cr_b, 0, cr_r, cr_g, cr_b, 0);
#endif

    for (int row = 0; row < height; row += 2) {
        // Output rows `row` and `row + 1` are GL rows counted from the bottom.
        const std::uint8_t* top = rgba + static_cast<std::size_t>(height - 1 - row) * stride;
        const std::uint8_t* bottom = top - stride;
        std::uint8_t* y_top = y_plane + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        std::uint8_t* y_bottom = y_top + width;
        std::uint8_t* cb = cb_plane + static_cast<std::size_t>(row / 2) * chroma_width;
        std::uint8_t* cr = cr_plane + static_cast<std::size_t>(row / 2) * chroma_width;
        int x = 0;
#if QUORVEX_SSE2_PATHS
        for (; x + 8 <= width; x += 8) {
            __m128i top_a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 4 * x));
            __m128i top_b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 4 * x + 16));
            __m128i bottom_a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 4 * x));
            __m128i bottom_b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 4 * x + 16));
            store4(y_top + x, luma4(top_a, y_weights));
            store4(y_top + x + 4, luma4(top_b, y_weights));
            store4(y_bottom + x, luma4(bottom_a, y_weights));
            store4(y_bottom + x + 4, luma4(bottom_b, y_weights));
            __m128i sums_a = block_sums(top_a, bottom_a);
            __m128i sums_b = block_sums(top_b, bottom_b);
            store4(cb + x / 2, chroma4(sums_a, sums_b, cb_weights));
            store4(cr + x / 2, chroma4(sums_a, sums_b, cr_weights));
        }
#endif
        for (; x < width; x += 2) {
            convert_block(top + 4 * x, bottom + 4 * x, y_top + x, y_bottom + x, cb + x / 2, cr + x / 2);
        }
    }
}
