// torus.cpp -- builds the torus mesh in AppState and compiles it into a display list
#include "geometry/torus.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "geometry/display_list.h"
#include "geometry/vertex_normals.h"
#include "state/app_state.h"

namespace {

// The generator's full turn: 0x40C90FD8, about 1.3e-6 short of 2 pi, so the last
// ring row stops just short of the first one. Kept as it is: the shape is
// defined by this value, not by pi.
constexpr float full_turn = 6.283184f;

// Every array, its element count and its byte size must fit a signed 32-bit
// count (GL takes the index count as a GLsizei); the largest byte size is the
// index array's, 12 per triangle, or a per-vertex array's, 12 per vertex.
constexpr std::int64_t max_count = 0x7FFFFFFF;

bool counts_fit(std::int64_t tube_segments, std::int64_t ring_segments)
{
    if (tube_segments < 1 || ring_segments < 1) {
        return false;
    }
    // 2 * A * B triangles of 3 four-byte indices each; checked by division so
    // that the product itself cannot overflow.
    if (tube_segments > max_count / 24 / ring_segments) {
        return false;
    }
    // Both counts are now below 2^27, so this product is exact in 64 bits.
    const std::int64_t vertices = (tube_segments + 1) * (ring_segments + 1);
    return vertices <= max_count / 12;
}

} // namespace

bool build_torus_mesh(std::int32_t tube_segments, std::int32_t ring_segments,
                      float tube_radius, float ring_radius)
{
    if (!counts_fit(tube_segments, ring_segments)) {
        return false;
    }
    const std::size_t a = static_cast<std::size_t>(tube_segments);
    const std::size_t b = static_cast<std::size_t>(ring_segments);
    const std::size_t triangles = 2 * a * b;
    const std::size_t vertices = (a + 1) * (b + 1);

    app.triangle_count = static_cast<std::int32_t>(triangles);
    app.vertex_count = static_cast<std::int32_t>(vertices);
    app.mesh_indices = std::vector<std::uint32_t>(3 * triangles);
    app.mesh_positions = std::vector<Float3>(vertices);
    app.mesh_texcoords = std::vector<Float2>(vertices);

    // The tube angle depends on the column alone, so its sine and cosine are
    // taken once per column; the values are the same as per vertex.
    std::vector<float> tube_sin(a);
    std::vector<float> tube_cos(a);
    for (std::size_t j = 0; j < a; ++j) {
        const float theta = static_cast<float>(j) * full_turn / static_cast<float>(tube_segments);
        tube_sin[j] = std::sin(theta);
        tube_cos[j] = std::cos(theta);
    }

    // One row of A slots per ring step, rows 0 .. B; row B lies over row 0 but
    // carries v = 5. The B + 1 slots after the grid stay zero and unused.
    for (std::size_t i = 0; i <= b; ++i) {
        const float phi = static_cast<float>(i) * full_turn / static_cast<float>(ring_segments);
        const float ring_cos = std::cos(phi);
        const float ring_sin = std::sin(phi);
        const float v = 5.0f * static_cast<float>(i) / static_cast<float>(ring_segments);
        Float3* positions = &app.mesh_positions[i * a];
        Float2* texcoords = &app.mesh_texcoords[i * a];
        for (std::size_t j = 0; j < a; ++j) {
            // Distance from the torus axis; negative on the inner half of the
            // tube when the tube radius exceeds the ring radius.
            const float reach = ring_radius + tube_radius * tube_sin[j];
            positions[j] = Float3{reach * ring_cos, tube_radius * tube_cos[j], reach * ring_sin};
            texcoords[j] = Float2{tube_sin[j], v};
        }
    }

    // Two triangles per quad, counter-clockwise seen from outside the tube. The
    // tube closes by wrapping to column 0; the ring does not wrap, its last
    // quads end on row B.
    std::uint32_t* index = app.mesh_indices.data();
    for (std::size_t i = 0; i < b; ++i) {
        const std::uint32_t row = static_cast<std::uint32_t>(i * a);
        const std::uint32_t next_row = static_cast<std::uint32_t>((i + 1) * a);
        for (std::size_t j = 0; j < a; ++j) {
            const std::uint32_t col = static_cast<std::uint32_t>(j);
            const std::uint32_t next_col = static_cast<std::uint32_t>(j + 1 == a ? 0 : j + 1);
            index[0] = next_row + col;
            index[1] = row + next_col;
            index[2] = row + col;
            index[3] = next_row + next_col;
            index[4] = row + next_col;
            index[5] = next_row + col;
            index += 6;
        }
    }

    compute_vertex_normals();
    return true;
}

std::uint32_t generate_torus(std::int32_t tube_segments, std::int32_t ring_segments,
                             float tube_radius, float ring_radius, std::int32_t immediate_mode)
{
    if (!build_torus_mesh(tube_segments, ring_segments, tube_radius, ring_radius)) {
        return 0;
    }
    return immediate_mode != 0 ? compile_mesh_immediate() : compile_mesh_arrays();
}
