// geometry_gl_test.cpp -- both torus display lists in a real GL context: what they draw
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "geometry/display_list.h"
#include "geometry/torus.h"
#include "state/app_state.h"
#include "tests/gl/gl_context.h"

namespace {

// One triangle corner as GL's feedback mode reports it: window position, colour
// and texture coordinate.
struct Corner {
    float x, y, z, w;
    float r, g, b, a;
    float s, t, p, q;
};

// A copy of the mesh a list was compiled from.
struct MeshCopy {
    std::vector<std::uint32_t> indices;
    std::vector<Float3> positions;
    std::vector<Float2> texcoords;
    std::vector<Float3> normals;
};

MeshCopy copy_mesh()
{
    return MeshCopy{app.mesh_indices, app.mesh_positions, app.mesh_texcoords, app.mesh_normals};
}

class GeometryGlTest : public testing::Test {
protected:
    void SetUp() override
    {
        open_test_context();
        // An orthographic box that holds the whole start-up torus (|x|, |z| <= 33),
        // with nothing culled, lit or tested, so every triangle reaches feedback.
        glViewport(0, 0, 800, 600);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-50.0, 50.0, -50.0, 50.0, -50.0, 50.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
    }
    void TearDown() override { glDisable(GL_LIGHTING); }
};

// Triangles the list sends down the pipeline, counted by GL itself.
GLuint primitives_drawn(GLuint list)
{
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    glCallList(list);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint count = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
    glDeleteQueries(1, &query);
    return count;
}

// The corners of every triangle the list draws, in order, via feedback mode.
std::vector<Corner> feedback(GLuint list)
{
    std::vector<GLfloat> buffer(120000);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<Corner> corners;
    EXPECT_GE(used, 0) << "feedback buffer too small";
    for (GLint at = 0; at < used;) {
        EXPECT_EQ(buffer[static_cast<std::size_t>(at)], static_cast<GLfloat>(GL_POLYGON_TOKEN));
        EXPECT_EQ(buffer[static_cast<std::size_t>(at + 1)], 3.0f);
        at += 2;
        for (int k = 0; k < 3; ++k, at += 12) {
            Corner c{};
            std::copy_n(&buffer[static_cast<std::size_t>(at)], 12, &c.x);
            corners.push_back(c);
        }
    }
    return corners;
}

// Each fed-back corner is the mesh slot the index list names, through the
// orthographic box of SetUp.
void expect_corners_from_mesh(const std::vector<Corner>& corners, const MeshCopy& mesh)
{
    ASSERT_EQ(corners.size(), mesh.indices.size());
    for (std::size_t c = 0; c < corners.size(); ++c) {
        const std::uint32_t slot = mesh.indices[c];
        const Float3& p = mesh.positions[slot];
        const Float2& uv = mesh.texcoords[slot];
        SCOPED_TRACE(testing::Message() << "corner " << c << ", slot " << slot);
        EXPECT_NEAR(corners[c].x, (p.x / 50.0f + 1.0f) * 400.0f, 2e-3f);
        EXPECT_NEAR(corners[c].y, (p.y / 50.0f + 1.0f) * 300.0f, 2e-3f);
        EXPECT_NEAR(corners[c].z, (-p.z / 50.0f + 1.0f) * 0.5f, 1e-5f);
        EXPECT_NEAR(corners[c].s, uv.u, 1e-6f);
        EXPECT_NEAR(corners[c].t, uv.v, 1e-6f);
        if (testing::Test::HasFailure()) {
            return;
        }
    }
}

bool same_corners(const std::vector<Corner>& a, const std::vector<Corner>& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const Corner& l, const Corner& r) {
               return l.x == r.x && l.y == r.y && l.z == r.z && l.r == r.r && l.g == r.g &&
                      l.b == r.b && l.s == r.s && l.t == r.t;
           });
}

} // namespace

TEST_F(GeometryGlTest, BothListsDrawTheStartUpMeshCornerForCorner)
{
    const GLuint arrays = generate_torus(32, 24, 18.0f, 15.0f, 0);
    ASSERT_NE(arrays, 0u);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    const MeshCopy mesh = copy_mesh();
    const GLuint immediate = generate_torus(32, 24, 18.0f, 15.0f, 1);
    ASSERT_NE(immediate, 0u);
    EXPECT_NE(immediate, arrays);

    EXPECT_EQ(primitives_drawn(arrays), 1536u);
    EXPECT_EQ(primitives_drawn(immediate), 1536u);
    {
        SCOPED_TRACE("vertex-array list");
        expect_corners_from_mesh(feedback(arrays), mesh);
    }
    {
        SCOPED_TRACE("immediate list");
        expect_corners_from_mesh(feedback(immediate), mesh);
    }
}

TEST_F(GeometryGlTest, ListsKeepTheirOwnCopyOfTheMesh)
{
    const GLuint list = generate_torus(32, 24, 18.0f, 15.0f, 0);
    ASSERT_NE(list, 0u);
    const std::vector<Corner> drawn = feedback(list);
    ASSERT_EQ(drawn.size(), 4608u);

    // Scribble over the arrays, then release them.
    std::fill(app.mesh_indices.begin(), app.mesh_indices.end(), 0u);
    std::fill(app.mesh_positions.begin(), app.mesh_positions.end(), Float3{1, 2, 3});
    std::fill(app.mesh_texcoords.begin(), app.mesh_texcoords.end(), Float2{9, 9});
    EXPECT_TRUE(same_corners(feedback(list), drawn));
    app.mesh_indices = {};
    app.mesh_positions = {};
    app.mesh_texcoords = {};
    EXPECT_TRUE(same_corners(feedback(list), drawn));

    // A new torus replaces the mesh; the first list still draws the first one.
    const GLuint small = generate_torus(3, 2, 1.0f, 3.0f, 0);
    ASSERT_NE(small, 0u);
    EXPECT_NE(small, list);
    EXPECT_EQ(primitives_drawn(small), 12u);
    expect_corners_from_mesh(feedback(small), copy_mesh());
    EXPECT_EQ(primitives_drawn(list), 1536u);
    EXPECT_TRUE(same_corners(feedback(list), drawn));
}

TEST_F(GeometryGlTest, OnlyTheImmediateListCarriesNormals)
{
    // GL's default light 0 shines along -z; lit red is 0.04 ambient plus
    // 0.8 * max(0, n.z) diffuse.
    const GLfloat light_position[] = {0, 0, 1, 0};
    const GLfloat white[] = {1, 1, 1, 1};
    const GLfloat black[] = {0, 0, 0, 1};
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1};
    const GLfloat diffuse[] = {0.8f, 0.8f, 0.8f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, light_position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);

    const GLuint arrays = generate_torus(32, 24, 18.0f, 15.0f, 0);
    const GLuint immediate = generate_torus(32, 24, 18.0f, 15.0f, 1);
    const MeshCopy mesh = copy_mesh();

    // The vertex-array list takes the current normal at every corner.
    glNormal3f(0, 0, 1);
    const std::vector<Corner> facing = feedback(arrays);
    glNormal3f(0, 0, -1);
    const std::vector<Corner> away = feedback(arrays);
    ASSERT_EQ(facing.size(), 4608u);
    ASSERT_EQ(away.size(), 4608u);
    for (std::size_t c = 0; c < facing.size(); ++c) {
        ASSERT_NEAR(facing[c].r, 0.84f, 2e-3f) << "corner " << c;
        ASSERT_NEAR(away[c].r, 0.04f, 2e-3f) << "corner " << c;
    }

    // The immediate list brings its own, so the current normal changes nothing.
    glNormal3f(0, 0, 1);
    const std::vector<Corner> lit = feedback(immediate);
    glNormal3f(0, 0, -1);
    EXPECT_TRUE(same_corners(feedback(immediate), lit));
    ASSERT_EQ(lit.size(), 4608u);
    for (std::size_t c = 0; c < lit.size(); ++c) {
        const Float3& n = mesh.normals[mesh.indices[c]];
        ASSERT_NEAR(lit[c].r, 0.04f + 0.8f * std::max(0.0f, n.z), 2e-3f) << "corner " << c;
    }

    // Calling it leaves the last corner's normal current.
    glNormal3f(0, 0, -1);
    glCallList(immediate);
    GLfloat current[4] = {};
    glGetFloatv(GL_CURRENT_NORMAL, current);
    const Float3& last = mesh.normals[mesh.indices.back()];
    EXPECT_EQ(current[0], last.x);
    EXPECT_EQ(current[1], last.y);
    EXPECT_EQ(current[2], last.z);
    glDisable(GL_LIGHT0);
}
