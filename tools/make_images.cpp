// make_images.cpp -- draws the three built-in BMP images into assets/ (run by hand)
//
// Build and run from the repository root:
//   g++ -std=c++20 -O2 tools/make_images.cpp $(pkg-config --cflags --libs freetype2) -o make_images
//   ./make_images /usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf assets
// Everything is drawn from fixed hash noise, so a rerun writes the same bytes.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

// An RGB picture, rows top first while drawing.
struct Picture {
    int width;
    int height;
    std::vector<std::array<double, 3>> rgb;  // 0..255
};

Picture make_picture(int width, int height)
{
    return Picture{width, height, std::vector<std::array<double, 3>>(std::size_t(width) * height)};
}

// Writes `picture` as a 24-bit BMP: 54 bytes of headers, the rows bottom first
// as blue, green, red, then two zero bytes that bfSize counts.
bool write_bmp(const std::string& path, const Picture& picture)
{
    const std::uint32_t pixel_bytes = std::uint32_t(picture.width) * picture.height * 3;
    std::vector<std::uint8_t> file;
    auto put16 = [&](std::uint32_t v) {
        file.push_back(std::uint8_t(v));
        file.push_back(std::uint8_t(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put16(0x4D42);              // bfType "BM"
    put32(54 + pixel_bytes + 2);  // bfSize
    put16(0);                   // bfReserved1
    put16(0);                   // bfReserved2
    put32(54);                  // bfOffBits
    put32(40);                  // biSize
    put32(std::uint32_t(picture.width));
    put32(std::uint32_t(picture.height));
    put16(1);     // biPlanes
    put16(24);    // biBitCount
    put32(0);     // biCompression
    put32(0);     // biSizeImage: the reader computes it
    put32(2834);  // biXPelsPerMeter (72 dpi)
    put32(2834);  // biYPelsPerMeter
    put32(0);     // biClrUsed
    put32(0);     // biClrImportant
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            const auto& p = picture.rgb[std::size_t(y) * picture.width + x];
            for (int c = 2; c >= 0; --c) {
                file.push_back(std::uint8_t(std::clamp(std::lround(p[c]), 0L, 255L)));
            }
        }
    }
    put16(0);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        return false;
    }
    const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && ok;
}

// Hash noise: the same lattice value for the same inputs on every run.
double hash(int x, int y, int seed)
{
    std::uint32_t h = std::uint32_t(x) * 0x8DA6B343u ^ std::uint32_t(y) * 0xD8163841u ^
                      std::uint32_t(seed) * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return double(h & 0xFFFFFF) / double(0x1000000);
}

int wrap(int i, int period)
{
    return ((i % period) + period) % period;
}

double fade(double t)
{
    return t * t * t * (t * (t * 6 - 15) + 10);
}

double smoothstep(double a, double b, double v)
{
    const double t = std::clamp((v - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Value noise on a lattice of `cell` pixels that repeats every 256 pixels in x,
// so anything built from it joins up around the torus.
double value_noise(double x, double y, double cell, int seed)
{
    const int period = int(std::lround(256.0 / cell));
    const double fx = x / cell;
    const double fy = y / cell;
    const int ix = int(std::floor(fx));
    const int iy = int(std::floor(fy));
    const double tx = fade(fx - ix);
    const double ty = fade(fy - iy);
    const double a = hash(wrap(ix, period), iy, seed);
    const double b = hash(wrap(ix + 1, period), iy, seed);
    const double c = hash(wrap(ix, period), iy + 1, seed);
    const double d = hash(wrap(ix + 1, period), iy + 1, seed);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

// Sum of octaves from `cell` down, normalised to 0..1.
double fbm(double x, double y, double cell, int octaves, int seed)
{
    double sum = 0;
    double weight = 0;
    double amplitude = 1;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * value_noise(x, y, cell, seed + o * 101);
        weight += amplitude;
        amplitude *= 0.5;
        cell *= 0.5;
    }
    return sum / weight;
}

// Distances to the nearest and second-nearest feature point of a cell grid
// that repeats every 256 pixels in x.
void cells(double x, double y, double cell, int seed, double* f1, double* f2)
{
    const int period = int(std::lround(256.0 / cell));
    const int ix = int(std::floor(x / cell));
    const int iy = int(std::floor(y / cell));
    *f1 = 1e9;
    *f2 = 1e9;
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            const int cx = ix + i;
            const int cy = iy + j;
            const double px = (cx + 0.15 + 0.7 * hash(wrap(cx, period), cy, seed)) * cell;
            const double py = (cy + 0.15 + 0.7 * hash(wrap(cx, period), cy, seed + 7)) * cell;
            const double d = std::hypot(x - px, y - py) / cell;
            if (d < *f1) {
                *f2 = *f1;
                *f1 = d;
            } else if (d < *f2) {
                *f2 = d;
            }
        }
    }
}

std::array<double, 3> mix(const std::array<double, 3>& a, const std::array<double, 3>& b, double t)
{
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

std::array<double, 3> scale(const std::array<double, 3>& a, double s)
{
    return {a[0] * s, a[1] * s, a[2] * s};
}

// Height of the left half's relief, mirrored about column 64: `d` is the
// distance from that column measured around the torus, so it stays continuous
// where column 255 meets column 0.
double relief_height(double d, double y)
{
    const double bumps = fbm(d, y, 32, 5, 11);
    const double ridged = 1 - std::fabs(2 * fbm(d, y, 16, 4, 23) - 1);
    const double ring = std::hypot(d / 46.0, (y - 66) / 40.0);
    const double rings = 0.5 + 0.5 * std::cos(ring * 3.2 * pi);
    return 0.45 * bumps + 0.3 * ridged * ridged + 0.25 * rings * smoothstep(1.6, 0.6, ring);
}

std::array<double, 3> metal_relief(double x, double y)
{
    auto mirrored = [](double px) {
        const double d = std::fabs(std::fmod(px - 64 + 512, 256.0));
        return std::min(d, 256 - d);
    };
    const double h = relief_height(mirrored(x), y);
    const double hx = relief_height(mirrored(x + 1), y) - relief_height(mirrored(x - 1), y);
    const double hy = relief_height(mirrored(x), y + 1) - relief_height(mirrored(x), y - 1);
    // Lit from straight above the picture, so the shading keeps the mirror symmetry.
    const double nx = -hx * 9;
    const double ny = -hy * 9;
    const double norm = std::sqrt(nx * nx + ny * ny + 1);
    const double lit = std::max(0.0, (ny * -0.55 + 0.83) / norm);
    const double shine = std::pow(lit, 16);
    const std::array<double, 3> steel{92, 98, 112};
    auto c = scale(steel, 0.35 + 0.75 * lit * (0.6 + 0.6 * h));
    return {c[0] + 105 * shine, c[1] + 102 * shine, c[2] + 100 * shine};
}

std::array<double, 3> ribs(double x, double y)
{
    const double wobble = 1.5 * (fbm(x, y, 64, 2, 31) - 0.5);
    const double phase = (y + wobble) * 2 * pi / 7.0;
    const double rib = 0.5 + 0.5 * std::cos(phase);
    const double edge = std::pow(std::max(0.0, std::sin(phase)), 3);  // light catches one flank
    const double grime = 0.75 + 0.45 * fbm(x, y, 16, 4, 37);
    const std::array<double, 3> grey{118, 116, 114};
    auto c = scale(grey, (0.3 + 0.7 * rib) * grime);
    return {c[0] + 40 * edge, c[1] + 40 * edge, c[2] + 40 * edge};
}

std::array<double, 3> leather(double x, double y)
{
    double f1 = 0;
    double f2 = 0;
    cells(x + 6 * fbm(x, y, 32, 2, 41), y, 11, 43, &f1, &f2);
    const double crease = smoothstep(0.02, 0.22, f2 - f1);
    const double mottle = fbm(x, y, 32, 5, 47);
    const double pores = fbm(x, y, 4, 2, 53);
    const std::array<double, 3> brown{176, 98, 44};
    const std::array<double, 3> dark{70, 38, 22};
    auto c = mix(dark, brown, 0.25 + 0.75 * crease * (0.4 + 0.8 * mottle));
    return scale(c, 0.8 + 0.3 * pores);
}

std::array<double, 3> fur(double x, double y)
{
    double f1 = 0;
    double f2 = 0;
    cells(x, y, 14, 61, &f1, &f2);
    const double scale_shade = smoothstep(0.9, 0.0, f1) * smoothstep(0.0, 0.12, f2 - f1);
    const double strands = fbm(x, y * 0.25, 4, 3, 67);  // long in y: hairs hang down
    const double clumps = fbm(x, y, 32, 4, 71);
    const std::array<double, 3> grey{104, 101, 98};
    return scale(grey, (0.35 + 0.55 * scale_shade + 0.5 * strands) * (0.55 + 0.7 * clumps));
}

// 256x256, rows top first: metal relief over ribs on the left half, leather
// over fur on the right, every part continuous around x so the edges join.
Picture torus_picture()
{
    Picture p = make_picture(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const double fx = x;
            const double fy = y;
            const double wave = -std::sin(2 * pi * fx / 256) + 0.25 * (fbm(fx, fy, 32, 2, 3) - 0.5);
            const double right = smoothstep(-0.22, 0.22, wave);
            const double rib_share = smoothstep(150, 172, fy + 10 * (fbm(fx, fy, 32, 2, 5) - 0.5));
            const double fur_share = smoothstep(104, 134, fy + 26 * (fbm(fx, fy, 16, 3, 7) - 0.5));
            const auto left_side = mix(metal_relief(fx, fy), ribs(fx, fy), rib_share);
            const auto right_side = mix(leather(fx, fy), fur(fx, fy), fur_share);
            auto c = mix(left_side, right_side, right);
            const double grain = 12 * (value_noise(fx, fy, 1, 97) - 0.5);
            const double light = 0.8 + 0.4 * fbm(fx, fy, 128, 2, 89);
            p.rgb[std::size_t(y) * 256 + x] = {c[0] * light + grain, c[1] * light + grain,
                                               c[2] * light + grain};
        }
    }
    // Scale each channel so the picture averages red 94, green 82, blue 75.
    const std::array<double, 3> target{94, 82, 75};
    for (int round = 0; round < 6; ++round) {
        std::array<double, 3> sum{};
        for (auto& c : p.rgb) {
            for (int k = 0; k < 3; ++k) {
                c[k] = std::clamp(c[k], 0.0, 255.0);
                sum[k] += std::round(c[k]);
            }
        }
        for (int k = 0; k < 3; ++k) {
            const double factor = target[k] / (sum[k] / double(p.rgb.size()));
            for (auto& c : p.rgb) {
                c[k] *= factor;
            }
        }
    }
    for (auto& c : p.rgb) {
        for (int k = 0; k < 3; ++k) {
            c[k] = std::clamp(std::round(c[k]), 0.0, 255.0);
        }
    }
    return p;
}

// 32x32 grey glow. A flat-topped falloff, exp(-(d/a)^4), keeps a core of 5x4
// pixels at 250..254 around the centre (16, 15.5) and reaches 0 well inside
// the border; the rows are a tenth closer so the core is one row shorter.
Picture panel_picture()
{
    Picture p = make_picture(32, 32);
    constexpr double a = 7.302;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const double dx = x - 16.0;
            const double dy = (y - 15.5) * 1.1;
            const double d = std::hypot(dx, dy) / a;
            double v = std::round(254 * std::exp(-d * d * d * d));
            if (x == 0 || y == 0 || x == 31 || y == 31) {
                v = 0;
            }
            p.rgb[std::size_t(y) * 32 + x] = {v, v, v};
        }
    }
    return p;
}

// 256x64 logo: the word set large in the font, spaced out to the box's shape,
// then averaged down into columns 16..245 and rows 11..54 from the top (rows
// 9..52 from the bottom) and quantised to 17 grey levels.
bool logo_picture(const char* font_path, Picture* out)
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, font_path, 0, &face) != 0) {
        std::fprintf(stderr, "cannot open font %s\n", font_path);
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, 400);
    const std::string word = "QUORVEX";
    constexpr int canvas_w = 4000;
    constexpr int canvas_h = 800;
    constexpr int baseline = 550;

    auto render = [&](int tracking, std::vector<std::uint8_t>& canvas) {
        canvas.assign(std::size_t(canvas_w) * canvas_h, 0);
        int pen = 100;
        FT_UInt previous = 0;
        for (char ch : word) {
            const FT_UInt glyph = FT_Get_Char_Index(face, FT_ULong(ch));
            if (previous != 0 && FT_HAS_KERNING(face)) {
                FT_Vector kern{};
                FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kern);
                pen += int(kern.x >> 6);
            }
            FT_Load_Glyph(face, glyph, FT_LOAD_RENDER);
            const FT_GlyphSlot slot = face->glyph;
            for (unsigned r = 0; r < slot->bitmap.rows; ++r) {
                for (unsigned c = 0; c < slot->bitmap.width; ++c) {
                    const int cx = pen + slot->bitmap_left + int(c);
                    const int cy = baseline - slot->bitmap_top + int(r);
                    auto& dst = canvas[std::size_t(cy) * canvas_w + cx];
                    dst = std::max(dst, slot->bitmap.buffer[r * slot->bitmap.pitch + c]);
                }
            }
            pen += int(slot->advance.x >> 6) + tracking;
            previous = glyph;
        }
    };
    auto ink_box = [&](const std::vector<std::uint8_t>& canvas, int box[4]) {
        box[0] = canvas_w;
        box[1] = canvas_h;
        box[2] = -1;
        box[3] = -1;
        for (int y = 0; y < canvas_h; ++y) {
            for (int x = 0; x < canvas_w; ++x) {
                if (canvas[std::size_t(y) * canvas_w + x] != 0) {
                    box[0] = std::min(box[0], x);
                    box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x + 1);
                    box[3] = std::max(box[3], y + 1);
                }
            }
        }
    };

    constexpr int left = 16;
    constexpr int top = 11;
    constexpr int box_w = 230;
    constexpr int box_h = 44;
    std::vector<std::uint8_t> canvas;
    int box[4];
    render(0, canvas);
    ink_box(canvas, box);
    const double wanted_w = double(box_w) / box_h * (box[3] - box[1]);
    const int tracking = std::max(0, int(std::lround((wanted_w - (box[2] - box[0])) / 6)));
    render(tracking, canvas);
    ink_box(canvas, box);
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    Picture p = make_picture(256, 64);
    constexpr int samples = 12;
    const double step_x = double(box[2] - box[0]) / box_w;
    const double step_y = double(box[3] - box[1]) / box_h;
    for (int y = 0; y < box_h; ++y) {
        for (int x = 0; x < box_w; ++x) {
            double sum = 0;
            for (int j = 0; j < samples; ++j) {
                for (int i = 0; i < samples; ++i) {
                    const int sx = box[0] + int((x + (i + 0.5) / samples) * step_x);
                    const int sy = box[1] + int((y + (j + 0.5) / samples) * step_y);
                    sum += canvas[std::size_t(sy) * canvas_w + sx];
                }
            }
            const double v = sum / (samples * samples);
            const double level = std::min(255.0, std::round(v / 16) * 16);
            p.rgb[std::size_t(top + y) * 256 + left + x] = {level, level, level};
        }
    }
    *out = p;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FONT.ttf OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[2];
    Picture logo;
    if (!logo_picture(argv[1], &logo)) {
        return 1;
    }
    const bool ok = write_bmp(dir + "/torus.bmp", torus_picture()) &&
                    write_bmp(dir + "/panel.bmp", panel_picture()) &&
                    write_bmp(dir + "/logo.bmp", logo);
    if (!ok) {
        std::fprintf(stderr, "cannot write the images to %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
