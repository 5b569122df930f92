// display_list_test.cpp -- the GL calls both compile paths make, in order, on a recording GL
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "geometry/display_list.h"
#include "geometry/torus.h"
#include "state/app_state.h"
#include "tests/fakes/fake_gl.h"

namespace {

class DisplayListTest : public testing::Test {
protected:
    void SetUp() override
    {
        app = AppState{};
        ASSERT_TRUE(build_torus_mesh(3, 2, 1.0f, 3.0f));
        fake_gl_reset(5);
    }
};

void expect_call(std::size_t at, const char* name, std::vector<long long> ints, const void* data = nullptr)
{
    ASSERT_LT(at, fake_gl_calls.size());
    const FakeGlCall& call = fake_gl_calls[at];
    EXPECT_EQ(call.name, name) << "call " << at;
    EXPECT_EQ(call.ints, ints) << "call " << at << " " << name;
    EXPECT_EQ(call.data, data) << "call " << at << " " << name;
}

void expect_floats(const FakeGlCall& call, const char* name, std::vector<float> values)
{
    EXPECT_EQ(call.name, name);
    EXPECT_EQ(call.floats, values) << name;
}

} // namespace

TEST_F(DisplayListTest, ArraysRecordOneIndexedDrawAndDisableBothArrays)
{
    EXPECT_EQ(compile_mesh_arrays(), 5u);
    ASSERT_EQ(fake_gl_calls.size(), 10u);
    expect_call(0, "glGenLists", {1});
    expect_call(1, "glNewList", {5, GL_COMPILE});
    expect_call(2, "glEnableClientState", {GL_VERTEX_ARRAY});
    expect_call(3, "glEnableClientState", {GL_TEXTURE_COORD_ARRAY});
    expect_call(4, "glVertexPointer", {3, GL_FLOAT, 0}, app.mesh_positions.data());
    expect_call(5, "glTexCoordPointer", {2, GL_FLOAT, 0}, app.mesh_texcoords.data());
    expect_call(6, "glDrawElements", {GL_TRIANGLES, 36, GL_UNSIGNED_INT}, app.mesh_indices.data());
    expect_call(7, "glDisableClientState", {GL_VERTEX_ARRAY});
    expect_call(8, "glDisableClientState", {GL_TEXTURE_COORD_ARRAY});
    expect_call(9, "glEndList", {});
}

TEST_F(DisplayListTest, ImmediateSendsTexCoordNormalVertexPerCornerInIndexOrder)
{
    EXPECT_EQ(compile_mesh_immediate(), 5u);
    ASSERT_EQ(fake_gl_calls.size(), 3u + 3u * 36u + 2u);
    expect_call(0, "glGenLists", {1});
    expect_call(1, "glNewList", {5, GL_COMPILE});
    expect_call(2, "glBegin", {GL_TRIANGLES});
    for (std::size_t c = 0; c < 36; ++c) {
        SCOPED_TRACE(testing::Message() << "corner " << c);
        const std::uint32_t slot = app.mesh_indices[c];
        const Float2& t = app.mesh_texcoords[slot];
        const Float3& n = app.mesh_normals[slot];
        const Float3& p = app.mesh_positions[slot];
        expect_floats(fake_gl_calls[3 + 3 * c], "glTexCoord2fv", {t.u, t.v});
        expect_floats(fake_gl_calls[4 + 3 * c], "glNormal3fv", {n.x, n.y, n.z});
        expect_floats(fake_gl_calls[5 + 3 * c], "glVertex3fv", {p.x, p.y, p.z});
    }
    expect_call(3 + 3 * 36, "glEnd", {});
    expect_call(4 + 3 * 36, "glEndList", {});
}

TEST_F(DisplayListTest, NoListNameRecordsNothing)
{
    // Without this, the draw would go to the frame buffer at once and list 0
    // would be reported as made.
    fake_gl_reset(0);
    EXPECT_EQ(compile_mesh_arrays(), 0u);
    EXPECT_EQ(fake_gl_call_names(), std::vector<std::string>{"glGenLists"});
    fake_gl_reset(0);
    EXPECT_EQ(compile_mesh_immediate(), 0u);
    EXPECT_EQ(fake_gl_call_names(), std::vector<std::string>{"glGenLists"});
}
