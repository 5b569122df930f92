// vertex_normals_test.cpp -- cross and normalise helpers, face and vertex normals
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "geometry/torus.h"
#include "geometry/vertex_normals.h"
#include "state/app_state.h"
#include "tests/fakes/fake_gl.h"

namespace {

void expect_vector(const Float3& v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

float length(const Float3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// Puts a hand-made mesh in AppState.
void set_mesh(std::vector<Float3> positions, std::vector<std::uint32_t> indices)
{
    app = AppState{};
    app.vertex_count = static_cast<std::int32_t>(positions.size());
    app.triangle_count = static_cast<std::int32_t>(indices.size() / 3);
    app.mesh_positions = std::move(positions);
    app.mesh_indices = std::move(indices);
}

} // namespace

TEST(CrossInPlace, TakesTheProductInOrderAndLeavesTheSecondAlone)
{
    Float3 a{1, 0, 0};
    Float3 b{0, 1, 0};
    cross_in_place(a, b);
    expect_vector(a, 0, 0, 1, 0);
    expect_vector(b, 0, 1, 0, 0);

    a = Float3{0, 1, 0};
    b = Float3{1, 0, 0};
    cross_in_place(a, b);
    expect_vector(a, 0, 0, -1, 0);

    // Every component from the inputs as they were on entry.
    a = Float3{2, 3, 4};
    cross_in_place(a, Float3{5, 6, 7});
    expect_vector(a, 3 * 7 - 4 * 6, 4 * 5 - 2 * 7, 2 * 6 - 3 * 5, 0);

    a = Float3{2, 3, 4};
    cross_in_place(a, a);
    expect_vector(a, 0, 0, 0, 0);
}

TEST(NormalizeInPlace, UnitLengthAndZeroStaysZero)
{
    Float3 v{3, 0, 4};
    normalize_in_place(v);
    expect_vector(v, 0.6f, 0, 0.8f);

    Float3 zero{0, 0, 0};
    normalize_in_place(zero);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    EXPECT_FALSE(std::signbit(zero.x));

    // Components whose squares overflow a float still come out unit length.
    Float3 huge{3e30f, 0, -4e30f};
    normalize_in_place(huge);
    expect_vector(huge, 0.6f, 0, -0.8f);
}

TEST(ComputeVertexNormals, SingleTriangleFacesAwayFromItsCounterClockwiseSide)
{
    // Counter-clockwise seen from +z, so the normal points to -z; area 0.5.
    set_mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2});
    compute_vertex_normals();
    ASSERT_EQ(app.mesh_face_normals.size(), 1u);
    expect_vector(app.mesh_face_normals[0], 0, 0, -1, 0);
    ASSERT_EQ(app.mesh_normals.size(), 3u);
    for (const Float3& n : app.mesh_normals) {
        expect_vector(n, 0, 0, -1, 0);
    }
}

TEST(ComputeVertexNormals, FacesCountByAreaNotByAngle)
{
    // Slot 0 is shared by a triangle of area 2 facing -z and one of area 0.5
    // facing +x; the right angle at slot 0 is the same in both, so only the
    // areas can tell them apart. Slot 5 is used by no triangle, and triangle 2
    // has no area.
    set_mesh({{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 1}, {0, 1, 0}, {9, 9, 9}, {1, 1, 1}},
             {0, 1, 2, 0, 3, 4, 6, 6, 4});
    compute_vertex_normals();
    ASSERT_EQ(app.mesh_face_normals.size(), 3u);
    expect_vector(app.mesh_face_normals[0], 0, 0, -4, 0);
    expect_vector(app.mesh_face_normals[1], 1, 0, 0, 0);
    expect_vector(app.mesh_face_normals[2], 0, 0, 0, 0);

    const float k = 1.0f / std::sqrt(17.0f);
    expect_vector(app.mesh_normals[0], k, 0, -4 * k);
    expect_vector(app.mesh_normals[1], 0, 0, -1);
    expect_vector(app.mesh_normals[2], 0, 0, -1);
    expect_vector(app.mesh_normals[3], 1, 0, 0);
    // Slot 4 joins the tilted triangle and the flat one: only the former counts.
    expect_vector(app.mesh_normals[4], 1, 0, 0);
    expect_vector(app.mesh_normals[5], 0, 0, 0, 0);
    expect_vector(app.mesh_normals[6], 0, 0, 0, 0);
}

TEST(ComputeVertexNormals, StartUpTorusNormals)
{
    app = AppState{};
    fake_gl_reset(1);
    generate_torus(32, 24, 18.0f, 15.0f, 0);
    ASSERT_EQ(app.mesh_normals.size(), 825u);

    // Ring step 6 (a quarter turn) and tube step 8 (the outer equator).
    const std::size_t slot = 6 * 32 + 8;
    expect_vector(app.mesh_positions[slot], 0, 0, 33, 1e-4f);
    expect_vector(app.mesh_normals[slot], 0, 0, -1);

    for (std::size_t n = 0; n < 800; ++n) {
        EXPECT_NEAR(length(app.mesh_normals[n]), 1.0f, 1e-6f) << "slot " << n;
    }
    for (std::size_t n = 800; n < 825; ++n) {
        expect_vector(app.mesh_normals[n], 0, 0, 0, 0);
    }
}

TEST(ComputeVertexNormals, PointIntoTheTubeOfAnOrdinaryTorus)
{
    app = AppState{};
    fake_gl_reset(1);
    const float tube = 5.0f;
    const float ring = 15.0f;
    generate_torus(32, 24, tube, ring, 0);
    for (std::size_t slot = 0; slot < 800; ++slot) {
        const Float3& p = app.mesh_positions[slot];
        // The nearest point of the tube's centre line.
        const float d = std::sqrt(p.x * p.x + p.z * p.z);
        const Float3 inward{(ring * p.x / d - p.x) / tube, -p.y / tube, (ring * p.z / d - p.z) / tube};
        const Float3& n = app.mesh_normals[slot];
        EXPECT_GT(n.x * inward.x + n.y * inward.y + n.z * inward.z, 0.97f) << "slot " << slot;
    }
}

TEST(ComputeVertexNormals, RunningTwiceGivesTheSameNormals)
{
    app = AppState{};
    fake_gl_reset(1);
    generate_torus(32, 24, 18.0f, 15.0f, 0);
    const std::vector<Float3> first = app.mesh_normals;
    const std::vector<Float3> first_faces = app.mesh_face_normals;
    compute_vertex_normals();
    ASSERT_EQ(app.mesh_normals.size(), first.size());
    EXPECT_EQ(std::memcmp(app.mesh_normals.data(), first.data(), first.size() * sizeof(Float3)), 0);
    ASSERT_EQ(app.mesh_face_normals.size(), first_faces.size());
    EXPECT_EQ(std::memcmp(app.mesh_face_normals.data(), first_faces.data(),
                          first_faces.size() * sizeof(Float3)),
              0);
}
