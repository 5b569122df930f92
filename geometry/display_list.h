// display_list.h -- compiles the current mesh into a GL display list
#pragma once

#include <cstdint>

// Records the current mesh (positions and texture coordinates, no normals) into
// a new display list with one indexed draw from client vertex arrays; both
// client arrays are left disabled. The list keeps its own copy of the vertices.
// Returns the list name, or 0 when glGenLists gives none (nothing is recorded
// then). Needs a current GL context. Called by generate_torus.
std::uint32_t compile_mesh_arrays();

// Records the current mesh into a new display list as one immediate-mode
// triangle list whose corners carry texture coordinate, normal and position.
// The normals must already be computed. Returns the list name, or 0 when
// glGenLists gives none (nothing is recorded then). Needs a current GL context.
// Called by generate_torus.
std::uint32_t compile_mesh_immediate();
