// torus.h -- the procedural torus: mesh, normals and display list in one call
#pragma once

#include <cstdint>

// Replaces the current mesh in AppState with a torus of tube_segments x
// ring_segments quads and computes its vertex normals: the CPU half of
// generate_torus, kept apart so it can be measured without a GL context.
// Returns false, leaving the current mesh untouched, when either count is below 1
// or the triangle, vertex or index counts or their byte sizes would not fit a
// signed 32-bit count. Called by generate_torus and the benchmark.
bool build_torus_mesh(std::int32_t tube_segments, std::int32_t ring_segments,
                      float tube_radius, float ring_radius);

// Replaces the current mesh in AppState with a torus of tube_segments x
// ring_segments quads, computes its normals and compiles it into a new display
// list (immediate mode when immediate_mode is nonzero, vertex arrays otherwise).
// Returns the list name, or 0 when the counts cannot be built (the mesh is then
// left as it was) or GL gives no list. Earlier lists are not deleted.
// Needs a current GL context. Called once by start-up.
std::uint32_t generate_torus(std::int32_t tube_segments, std::int32_t ring_segments,
                             float tube_radius, float ring_radius, std::int32_t immediate_mode);
