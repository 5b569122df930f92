// y4m_writer.cpp -- YUV4MPEG2 stream header and BT.601 4:2:0 conversion
#include "capture/y4m_writer.h"

#include <cstdio>

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

// BT.601 in limited range, scaled by 32768: Y = 16 + (65.481 R + 128.553 G +
// 24.966 B) / 255. The chroma rows sum to zero, so greys get exactly 128; they
// apply to the sum of a 2x2 block, hence two more bits to shift out.
static constexpr int y_r = 8414, y_g = 16519, y_b = 3208;
static constexpr int cb_r = -4857, cb_g = -9535, cb_b = 14392;
static constexpr int cr_r = 14392, cr_g = -12052, cr_b = -2340;
static constexpr int luma_offset = (16 << 15) + (1 << 14);
static constexpr int chroma_offset = (128 << 17) + (1 << 16);

static std::uint8_t luma(const std::uint8_t* pixel)
{
    return static_cast<std::uint8_t>((y_r * pixel[0] + y_g * pixel[1] + y_b * pixel[2] + luma_offset) >> 15);
}

void rgba_to_yuv420(const std::uint8_t* rgba, int width, int height, std::uint8_t* yuv)
{
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t chroma_width = static_cast<std::size_t>(width / 2);
    std::uint8_t* y_plane = yuv;
    std::uint8_t* cb_plane = yuv + static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::uint8_t* cr_plane = cb_plane + chroma_width * static_cast<std::size_t>(height / 2);

    for (int row = 0; row < height; row += 2) {
        // Output rows `row` and `row + 1` are GL rows counted from the bottom.
        const std::uint8_t* top = rgba + static_cast<std::size_t>(height - 1 - row) * stride;
        const std::uint8_t* bottom = top - stride;
        std::uint8_t* y_top = y_plane + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        std::uint8_t* y_bottom = y_top + width;
        std::uint8_t* cb = cb_plane + static_cast<std::size_t>(row / 2) * chroma_width;
        std::uint8_t* cr = cr_plane + static_cast<std::size_t>(row / 2) * chroma_width;
        for (int x = 0; x < width; x += 2) {
            // One 2x2 block: four luma samples and one of each chroma.
            const std::uint8_t* a = top + 4 * x;
            const std::uint8_t* b = bottom + 4 * x;
            y_top[x] = luma(a);
            y_top[x + 1] = luma(a + 4);
            y_bottom[x] = luma(b);
            y_bottom[x + 1] = luma(b + 4);
            const int r = a[0] + a[4] + b[0] + b[4];
            const int g = a[1] + a[5] + b[1] + b[5];
            const int bl = a[2] + a[6] + b[2] + b[6];
            cb[x / 2] = static_cast<std::uint8_t>((cb_r * r + cb_g * g + cb_b * bl + chroma_offset) >> 17);
            cr[x / 2] = static_cast<std::uint8_t>((cr_r * r + cr_g * g + cr_b * bl + chroma_offset) >> 17);
        }
    }
}
