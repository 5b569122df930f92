// primitives.h -- turns a GL 1.1 primitive into what ES 3.0 can draw
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <vector>

// Indices, counted from 0 at the primitive's first vertex.
struct PrimitiveIndices {
    GLenum es_mode = GL_TRIANGLES;   // what `fill` is drawn as
    bool polygon = false;            // glPolygonMode applies; `edges` holds its outline
    std::vector<std::uint32_t> fill;
    std::vector<std::uint32_t> edges;
};

// The indices for `count` vertices given to glBegin(mode). Quads and quad strips
// become triangle pairs and polygons fans, with the winding kept so face
// culling sees the same faces; `edges` holds each face's own outline as line
// pairs, the way the GL draws a polygon in line mode: a triangle's three edges,
// a quad's four (never its diagonal), every edge once per face, so an edge two
// faces share is drawn twice. Incomplete trailing faces are dropped, as the GL
// drops them. An unknown mode gives no indices. `p` is overwritten.
void primitive_indices(GLenum mode, std::uint32_t count, PrimitiveIndices& p);
