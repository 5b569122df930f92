// torus.h -- the procedural torus: mesh, normals and display list in one call
#pragma once

#include <cstdint>

// Replaces the current mesh in AppState with a torus of tube_segments x
// ring_segments quads, computes its normals and compiles it into a new display
// list (immediate mode when immediate_mode is nonzero, vertex arrays otherwise).
// Returns the list name, or 0 when the counts cannot be built or GL gives no list.
// Needs a current GL context. Called once by start-up.
std::uint32_t generate_torus(std::int32_t tube_segments, std::int32_t ring_segments,
                             float tube_radius, float ring_radius, std::int32_t immediate_mode);
