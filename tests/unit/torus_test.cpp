// torus_test.cpp -- the torus mesh: start-up numbers, a 3 x 2 torus by hand, rejected counts
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/torus.h"
#include "state/app_state.h"
#include "tests/fakes/fake_gl.h"

namespace {

void expect_position(std::size_t slot, float x, float y, float z, float tolerance = 1e-4f)
{
    SCOPED_TRACE(testing::Message() << "slot " << slot);
    const Float3& p = app.mesh_positions.at(slot);
    EXPECT_NEAR(p.x, x, tolerance);
    EXPECT_NEAR(p.y, y, tolerance);
    EXPECT_NEAR(p.z, z, tolerance);
}

std::vector<std::uint32_t> quad_entries(std::size_t quad)
{
    const auto first = app.mesh_indices.begin() + static_cast<std::ptrdiff_t>(6 * quad);
    return std::vector<std::uint32_t>(first, first + 6);
}

class TorusTest : public testing::Test {
protected:
    void SetUp() override
    {
        app = AppState{};
        fake_gl_reset(7);
    }
};

} // namespace

TEST_F(TorusTest, StartUpArgumentsGiveTheProductionCounts)
{
    EXPECT_EQ(generate_torus(32, 24, 18.0f, 15.0f, 0), 7u);
    EXPECT_EQ(app.triangle_count, 1536);
    EXPECT_EQ(app.vertex_count, 825);
    EXPECT_EQ(app.mesh_indices.size(), 4608u);
    EXPECT_EQ(app.mesh_positions.size(), 825u);
    EXPECT_EQ(app.mesh_texcoords.size(), 825u);
    EXPECT_EQ(app.mesh_normals.size(), 825u);
    EXPECT_EQ(app.mesh_face_normals.size(), 1536u);

    // Every grid slot 0 .. 799 is some triangle's corner; the 25 after it are not.
    std::vector<bool> used(825, false);
    for (std::uint32_t slot : app.mesh_indices) {
        ASSERT_LT(slot, 825u);
        used[slot] = true;
    }
    EXPECT_EQ(*std::max_element(app.mesh_indices.begin(), app.mesh_indices.end()), 799u);
    EXPECT_EQ(std::count(used.begin(), used.begin() + 800, true), 800);
    EXPECT_EQ(std::count(used.begin() + 800, used.end(), true), 0);
    for (std::size_t slot = 800; slot < 825; ++slot) {
        expect_position(slot, 0.0f, 0.0f, 0.0f, 0.0f);
    }
}

TEST_F(TorusTest, StartUpSlotsSitWhereTheAnglesPutThem)
{
    generate_torus(32, 24, 18.0f, 15.0f, 0);
    // Top of the tube at ring step 0.
    expect_position(0, 15.0f, 18.0f, 0.0f);
    EXPECT_EQ(app.mesh_texcoords[0].u, 0.0f);
    EXPECT_EQ(app.mesh_texcoords[0].v, 0.0f);
    // One tube step on: outwards and down.
    expect_position(1, 18.5116f, 17.6541f, 0.0f);
    EXPECT_NEAR(app.mesh_texcoords[1].u, 0.19509f, 1e-5f);
    // A quarter of the tube: the outer equator.
    expect_position(8, 33.0f, 0.0f, 0.0f);
    EXPECT_NEAR(app.mesh_texcoords[8].u, 1.0f, 1e-6f);
    // The last column, one step before closing: inwards and down.
    expect_position(31, 11.4884f, 17.6541f, 0.0f);
    EXPECT_NEAR(app.mesh_texcoords[31].u, -0.19509f, 1e-5f);
    // Row 24 lies over row 0 with v = 5. The turn is 1.3e-6 short of 2 pi, which
    // leaves slot 768 at z = 15 * sin(turn) = -1.88e-5; a true 2 pi would not.
    expect_position(768, 15.0f, 18.0f, -1.8835e-5f, 2e-6f);
    EXPECT_EQ(app.mesh_texcoords[768].u, 0.0f);
    EXPECT_EQ(app.mesh_texcoords[768].v, 5.0f);
    // v rises by 5/24 a row.
    EXPECT_NEAR(app.mesh_texcoords[6 * 32].v, 1.25f, 1e-6f);
}

TEST_F(TorusTest, StartUpQuadsWrapTheTubeButNotTheRing)
{
    generate_torus(32, 24, 18.0f, 15.0f, 0);
    EXPECT_EQ(quad_entries(0), (std::vector<std::uint32_t>{32, 1, 0, 33, 1, 32}));
    EXPECT_EQ(quad_entries(31), (std::vector<std::uint32_t>{63, 0, 31, 32, 0, 63}));
    EXPECT_EQ(quad_entries(32), (std::vector<std::uint32_t>{64, 33, 32, 65, 33, 64}));
    // The last quad ends on row 24 instead of wrapping back to row 0.
    EXPECT_EQ(quad_entries(767), (std::vector<std::uint32_t>{799, 736, 767, 768, 736, 799}));
}

TEST_F(TorusTest, ThreeByTwoTorusByHand)
{
    generate_torus(3, 2, 1.0f, 3.0f, 0);
    ASSERT_EQ(app.triangle_count, 12);
    ASSERT_EQ(app.vertex_count, 12);
    EXPECT_EQ(app.mesh_indices, (std::vector<std::uint32_t>{
                                    3, 1, 0, 4, 1, 3, 4, 2, 1, 5, 2, 4, 5, 0, 2, 3, 0, 5,
                                    6, 4, 3, 7, 4, 6, 7, 5, 4, 8, 5, 7, 8, 3, 5, 6, 3, 8}));

    // Tube angles 0, 120 and 240 degrees; ring angles 0, 180 and 360 degrees.
    const float s = 0.8660254f;  // sin 60 degrees
    expect_position(0, 3.0f, 1.0f, 0.0f, 1e-5f);
    expect_position(1, 3.0f + s, -0.5f, 0.0f, 1e-5f);
    expect_position(2, 3.0f - s, -0.5f, 0.0f, 1e-5f);
    expect_position(3, -3.0f, 1.0f, 0.0f, 1e-5f);
    expect_position(4, -3.0f - s, -0.5f, 0.0f, 1e-5f);
    expect_position(5, -3.0f + s, -0.5f, 0.0f, 1e-5f);
    for (std::size_t j = 0; j < 3; ++j) {
        expect_position(6 + j, app.mesh_positions[j].x, app.mesh_positions[j].y, 0.0f, 1e-5f);
    }
    for (std::size_t slot = 9; slot < 12; ++slot) {
        expect_position(slot, 0.0f, 0.0f, 0.0f, 0.0f);
    }

    const float u[3] = {0.0f, s, -s};
    const float v[3] = {0.0f, 2.5f, 5.0f};
    for (std::size_t slot = 0; slot < 9; ++slot) {
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        EXPECT_NEAR(app.mesh_texcoords[slot].u, u[slot % 3], 1e-6f);
        EXPECT_EQ(app.mesh_texcoords[slot].v, v[slot / 3]);
    }
}

TEST_F(TorusTest, ModeSelectsTheCompilePath)
{
    EXPECT_EQ(generate_torus(3, 2, 1.0f, 3.0f, 0), 7u);
    ASSERT_GE(fake_gl_calls.size(), 3u);
    EXPECT_EQ(fake_gl_calls[2].name, "glEnableClientState");

    fake_gl_reset(9);
    EXPECT_EQ(generate_torus(3, 2, 1.0f, 3.0f, -1), 9u);
    ASSERT_GE(fake_gl_calls.size(), 3u);
    EXPECT_EQ(fake_gl_calls[2].name, "glBegin");
    // Normals are computed in both modes.
    EXPECT_EQ(app.mesh_normals.size(), 12u);
}

TEST_F(TorusTest, SecondCallReplacesTheWholeMesh)
{
    generate_torus(32, 24, 18.0f, 15.0f, 0);
    generate_torus(3, 2, 1.0f, 3.0f, 1);
    EXPECT_EQ(app.triangle_count, 12);
    EXPECT_EQ(app.vertex_count, 12);
    EXPECT_EQ(app.mesh_indices.size(), 36u);
    EXPECT_EQ(app.mesh_positions.size(), 12u);
    EXPECT_EQ(app.mesh_texcoords.size(), 12u);
    EXPECT_EQ(app.mesh_normals.size(), 12u);
    EXPECT_EQ(app.mesh_face_normals.size(), 12u);
    // Nothing of the larger mesh is left behind in the unused slots.
    for (std::size_t slot = 9; slot < 12; ++slot) {
        expect_position(slot, 0.0f, 0.0f, 0.0f, 0.0f);
        EXPECT_EQ(app.mesh_normals[slot].x, 0.0f);
        EXPECT_EQ(app.mesh_normals[slot].y, 0.0f);
        EXPECT_EQ(app.mesh_normals[slot].z, 0.0f);
    }
}

TEST_F(TorusTest, UnbuildableCountsLeaveTheMeshAndGlAlone)
{
    generate_torus(3, 2, 1.0f, 3.0f, 0);
    const AppState before = app;
    const void* indices = app.mesh_indices.data();
    const void* positions = app.mesh_positions.data();

    const std::int32_t rejected[][2] = {
        {0, 24}, {32, 0}, {-1, 24}, {32, -5}, {INT32_MIN, INT32_MIN},
        {INT32_MAX, INT32_MAX},
        // 2 * A * B fits 32 bits but its 12 bytes per triangle do not.
        {10000, 10000},
        // 24 bytes of indices per quad just over 2^31 - 1.
        {89478486, 1},
        // Index bytes just fit, but (A + 1) * (B + 1) vertices of 12 bytes do not.
        {89478485, 1},
        {1, 89478485},
    };
    for (const auto& counts : rejected) {
        SCOPED_TRACE(testing::Message() << counts[0] << " x " << counts[1]);
        fake_gl_reset(7);
        EXPECT_EQ(generate_torus(counts[0], counts[1], 1.0f, 3.0f, 0), 0u);
        EXPECT_EQ(generate_torus(counts[0], counts[1], 1.0f, 3.0f, 1), 0u);
        EXPECT_FALSE(build_torus_mesh(counts[0], counts[1], 1.0f, 3.0f));
        EXPECT_TRUE(fake_gl_calls.empty());
        EXPECT_EQ(app.triangle_count, before.triangle_count);
        EXPECT_EQ(app.vertex_count, before.vertex_count);
        EXPECT_EQ(app.mesh_indices, before.mesh_indices);
        EXPECT_EQ(app.mesh_indices.data(), indices);
        EXPECT_EQ(app.mesh_positions.data(), positions);
        EXPECT_EQ(app.mesh_texcoords.size(), before.mesh_texcoords.size());
        EXPECT_EQ(app.mesh_normals.size(), before.mesh_normals.size());
        EXPECT_EQ(app.mesh_face_normals.size(), before.mesh_face_normals.size());
    }
}

TEST_F(TorusTest, NoListFromGlStillBuildsTheMesh)
{
    fake_gl_reset(0);
    EXPECT_EQ(generate_torus(3, 2, 1.0f, 3.0f, 0), 0u);
    EXPECT_EQ(app.triangle_count, 12);
    EXPECT_EQ(fake_gl_call_names(), std::vector<std::string>{"glGenLists"});
}
