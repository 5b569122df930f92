// vertex_normals.cpp -- area-weighted vertex normals of the current mesh
#include "geometry/vertex_normals.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "state/app_state.h"

void cross_in_place(Float3& a, const Float3& b)
{
    // Both copied first: a and b may be the same vector.
    const Float3 l = a;
    const Float3 r = b;
    a.x = l.y * r.z - l.z * r.y;
    a.y = l.z * r.x - l.x * r.z;
    a.z = l.x * r.y - l.y * r.x;
}

void normalize_in_place(Float3& v)
{
    // Summed in double so that large components cannot overflow the squares.
    const double sum = static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                       static_cast<double>(v.z) * v.z;
    float length = static_cast<float>(std::sqrt(sum));
    if (length == 0.0f) {
        length = 1.0f;
    }
    v.x /= length;
    v.y /= length;
    v.z /= length;
}

void compute_vertex_normals()
{
    const std::size_t vertices = static_cast<std::size_t>(app.vertex_count);
    const std::size_t triangles = static_cast<std::size_t>(app.triangle_count);
    app.mesh_normals = std::vector<Float3>(vertices);
    app.mesh_face_normals = std::vector<Float3>(triangles);

    const std::uint32_t* index = app.mesh_indices.data();
    const Float3* positions = app.mesh_positions.data();
    Float3* normals = app.mesh_normals.data();
    for (std::size_t t = 0; t < triangles; ++t, index += 3) {
        const Float3& p0 = positions[index[0]];
        const Float3& p1 = positions[index[1]];
        const Float3& p2 = positions[index[2]];
        // (P0 - P2) x (P2 - P1): twice the area long, pointing to the side from
        // which the corners run clockwise, i.e. into the tube.
        Float3 face{p0.x - p2.x, p0.y - p2.y, p0.z - p2.z};
        const Float3 edge{p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
        cross_in_place(face, edge);
        app.mesh_face_normals[t] = face;
        // Summed unnormalised, so each triangle counts by its area.
        for (int corner = 0; corner < 3; ++corner) {
            Float3& n = normals[index[corner]];
            n.x += face.x;
            n.y += face.y;
            n.z += face.z;
        }
    }
    for (std::size_t n = 0; n < vertices; ++n) {
        normalize_in_place(normals[n]);
    }
}
