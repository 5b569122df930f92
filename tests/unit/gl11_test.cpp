// gl11_test.cpp -- the GL 1.1 layer's CPU side: primitive indices, mipmap box filter, pixel repacking
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "gl11/mipmaps.h"
#include "gl11/pixel_convert.h"
#include "gl11/primitives.h"

namespace {

using Indices = std::vector<std::uint32_t>;

// Undirected edges of a line-pair list, as a set.
std::set<std::pair<std::uint32_t, std::uint32_t>> edge_set(const Indices& lines)
{
    std::set<std::pair<std::uint32_t, std::uint32_t>> edges;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        edges.insert(std::minmax(lines[i], lines[i + 1]));
    }
    return edges;
}

// The signed area of triangle (a, b, c) in a fixed layout of points, to check
// that the filled triangles keep the winding of the face they come from.
int winding(const std::vector<std::pair<int, int>>& at, std::uint32_t a, std::uint32_t b,
            std::uint32_t c)
{
    const auto [ax, ay] = at[a];
    const auto [bx, by] = at[b];
    const auto [cx, cy] = at[c];
    const int area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
    return area > 0 ? 1 : -1;
}

TEST(Gl11Primitives, QuadsFillAsTwoTrianglesAndOutlineWithoutTheDiagonal)
{
    // Two counter-clockwise quads and a stray vertex the GL ignores.
    const std::vector<std::pair<int, int>> at = {{0, 0}, {1, 0}, {1, 1}, {0, 1},
                                                 {2, 0}, {3, 0}, {3, 1}, {2, 1}, {9, 9}};
    PrimitiveIndices p;
    primitive_indices(GL_QUADS, 9, p);
    EXPECT_TRUE(p.polygon);
    EXPECT_EQ(p.es_mode, static_cast<GLenum>(GL_TRIANGLES));
    ASSERT_EQ(p.fill.size(), 12u);
    for (std::size_t t = 0; t < p.fill.size(); t += 3) {
        EXPECT_EQ(winding(at, p.fill[t], p.fill[t + 1], p.fill[t + 2]), 1) << "triangle " << t / 3;
    }
    const std::set<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {0, 1}, {1, 2}, {2, 3}, {0, 3}, {4, 5}, {5, 6}, {6, 7}, {4, 7}};
    EXPECT_EQ(edge_set(p.edges), expected);
    EXPECT_EQ(p.edges.size(), 16u);
}

TEST(Gl11Primitives, SharedTriangleEdgesAreDrawnOncePerFace)
{
    // Additive wireframes are brighter where two faces meet; an edge list made
    // unique would lose that.
    PrimitiveIndices p;
    primitive_indices(GL_TRIANGLES, 6, p);
    EXPECT_EQ(p.edges.size(), 12u);
    PrimitiveIndices strip;
    primitive_indices(GL_TRIANGLE_STRIP, 4, strip);
    EXPECT_EQ(strip.edges.size(), 12u);
    EXPECT_EQ(edge_set(strip.edges).size(), 5u);
}

TEST(Gl11Primitives, StripsKeepTheirWindingAndLinesLoopBack)
{
    // A zig-zag strip: 0 (0,0), 1 (0,1)... all its triangles face one way.
    const std::vector<std::pair<int, int>> at = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}};
    PrimitiveIndices strip;
    primitive_indices(GL_TRIANGLE_STRIP, 5, strip);
    ASSERT_EQ(strip.fill.size(), 9u);
    for (std::size_t t = 0; t < strip.fill.size(); t += 3) {
        EXPECT_EQ(winding(at, strip.fill[t], strip.fill[t + 1], strip.fill[t + 2]), 1);
    }
    PrimitiveIndices loop;
    primitive_indices(GL_LINE_LOOP, 3, loop);
    EXPECT_FALSE(loop.polygon);
    EXPECT_EQ(loop.fill, (Indices{0, 1, 1, 2, 2, 0}));
    PrimitiveIndices short_list;
    primitive_indices(GL_TRIANGLES, 2, short_list);
    EXPECT_TRUE(short_list.fill.empty());
}

TEST(Gl11Mipmaps, BoxFilterRoundsToNearestAndCollapsesOneDimension)
{
    // 2x2 RGB, rows padded to 8 bytes: means 2.5 -> 3 (rounded half up), 1.
    const std::vector<std::uint8_t> square = {1, 0, 255, 0, 0, 0, 0, 0,  //
                                              4, 2, 255, 5, 2, 255, 0, 0};
    const std::vector<std::uint8_t> one = halve_image(square, 2, 2, 3);
    ASSERT_EQ(one.size(), 4u);
    EXPECT_EQ(one[0], 3);  // (1 + 0 + 4 + 5 + 2) / 4
    EXPECT_EQ(one[1], 1);  // (0 + 0 + 2 + 2 + 2) / 4
    EXPECT_EQ(one[2], 191);  // (255 + 0 + 255 + 255 + 2) / 4

    // A 4x1 luminance row halves along x only: pairs (10, 21) and (200, 201).
    const std::vector<std::uint8_t> row = {10, 21, 200, 201};
    const std::vector<std::uint8_t> half = halve_image(row, 4, 1, 1);
    ASSERT_EQ(half.size(), 4u);
    EXPECT_EQ(half[0], 16);
    EXPECT_EQ(half[1], 201);

    EXPECT_EQ(nearest_power_of_two(1), 1);
    EXPECT_EQ(nearest_power_of_two(3), 4);
    EXPECT_EQ(nearest_power_of_two(5), 4);
    EXPECT_EQ(nearest_power_of_two(6), 8);
    EXPECT_EQ(nearest_power_of_two(256), 256);
}

TEST(Gl11Pixels, RepackingKeepsRowAlignmentAndTakesRedForLuminance)
{
    // 3x1 RGB (9 bytes, padded to 12) as RGBA, and as luminance (3, padded to 4).
    const std::vector<std::uint8_t> rgb = {10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0};
    EXPECT_EQ(convert_pixels(rgb.data(), 3, 1, GL_RGB, GL_RGBA),
              (std::vector<std::uint8_t>{10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255}));
    EXPECT_EQ(convert_pixels(rgb.data(), 3, 1, GL_RGB, GL_LUMINANCE),
              (std::vector<std::uint8_t>{10, 40, 70, 0}));
    // Two rows of one luminance texel each: the second row starts 4 bytes in.
    const std::vector<std::uint8_t> luminance = {7, 0, 0, 0, 9, 0, 0, 0};
    EXPECT_EQ(convert_pixels(luminance.data(), 1, 2, GL_LUMINANCE, GL_RGB),
              (std::vector<std::uint8_t>{7, 7, 7, 0, 9, 9, 9, 0}));
}

}  // namespace
