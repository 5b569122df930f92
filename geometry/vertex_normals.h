// vertex_normals.h -- area-weighted vertex normals of the current mesh
#pragma once

#include "state/float_types.h"

// Replaces a with a x b, computed from the components a had on entry; b is
// left unchanged. Used by compute_vertex_normals for the face normals.
void cross_in_place(Float3& a, const Float3& b);

// Scales v to unit length. A zero vector stays zero (its length is taken as 1),
// so this never divides by zero.
void normalize_in_place(Float3& v);

// Replaces mesh_face_normals (triangle_count entries, each (P0 - P2) x (P2 - P1),
// twice the triangle's area long) and mesh_normals (vertex_count entries, each
// the normalised sum of the face normals of the triangles using that slot, or
// (0, 0, 0) where that sum is zero). Reads triangle_count, vertex_count,
// mesh_indices and mesh_positions, which must be consistent: every index below
// vertex_count. Cannot fail. Called by build_torus_mesh after the triangle list
// is filled.
void compute_vertex_normals();
