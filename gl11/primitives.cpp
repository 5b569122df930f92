// primitives.cpp -- index lists for GL 1.1 primitives: triangles to fill, edges for line mode
#include "gl11/primitives.h"

namespace {

void add_triangle(PrimitiveIndices& p, std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    p.fill.insert(p.fill.end(), {a, b, c});
}

// A face's outline in the rasteriser's order: the closing edge first, then
// around, each line drawn in the direction the face's corners run.
void add_outline(PrimitiveIndices& p, std::initializer_list<std::uint32_t> corners)
{
    const std::uint32_t* first = corners.begin();
    const std::uint32_t* last = corners.end() - 1;
    p.edges.insert(p.edges.end(), {*last, *first});
    for (const std::uint32_t* v = first; v != last; ++v) {
        p.edges.insert(p.edges.end(), {v[0], v[1]});
    }
}

void add_quad(PrimitiveIndices& p, std::uint32_t a, std::uint32_t b, std::uint32_t c,
              std::uint32_t d)
{
    // Split so the fourth corner, the one a flat-shaded quad takes its colour
    // from, is in both halves.
    add_triangle(p, a, b, d);
    add_triangle(p, b, c, d);
    add_outline(p, {a, b, c, d});
}

}  // namespace

void primitive_indices(GLenum mode, std::uint32_t count, PrimitiveIndices& p)
{
    // Cleared, not replaced: the caller's vectors keep their capacity, so a
    // frame's immediate-mode draws allocate nothing once the first has run.
    p.es_mode = GL_TRIANGLES;
    p.polygon = false;
    p.fill.clear();
    p.edges.clear();
    switch (mode) {
    case GL_POINTS:
        p.es_mode = GL_POINTS;
        for (std::uint32_t i = 0; i < count; ++i) {
            p.fill.push_back(i);
        }
        break;
    case GL_LINES:
        p.es_mode = GL_LINES;
        for (std::uint32_t i = 0; i + 1 < count; i += 2) {
            p.fill.insert(p.fill.end(), {i, i + 1});
        }
        break;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        p.es_mode = GL_LINES;
        for (std::uint32_t i = 0; i + 1 < count; ++i) {
            p.fill.insert(p.fill.end(), {i, i + 1});
        }
        if (mode == GL_LINE_LOOP && count > 2) {
            p.fill.insert(p.fill.end(), {count - 1, 0});
        }
        break;
    case GL_TRIANGLES:
        p.polygon = true;
        for (std::uint32_t i = 0; i + 2 < count; i += 3) {
            add_triangle(p, i, i + 1, i + 2);
            add_outline(p, {i, i + 1, i + 2});
        }
        break;
    case GL_TRIANGLE_STRIP:
        p.polygon = true;
        for (std::uint32_t i = 0; i + 2 < count; ++i) {
            // Every second triangle is turned round to keep the strip's winding.
            const std::uint32_t a = i % 2 == 0 ? i : i + 1;
            const std::uint32_t b = i % 2 == 0 ? i + 1 : i;
            add_triangle(p, a, b, i + 2);
            add_outline(p, {a, b, i + 2});
        }
        break;
    case GL_TRIANGLE_FAN:
        p.polygon = true;
        for (std::uint32_t i = 1; i + 1 < count; ++i) {
            add_triangle(p, 0, i, i + 1);
            add_outline(p, {0, i, i + 1});
        }
        break;
    case GL_QUADS:
        p.polygon = true;
        for (std::uint32_t i = 0; i + 3 < count; i += 4) {
            add_quad(p, i, i + 1, i + 2, i + 3);
        }
        break;
    case GL_QUAD_STRIP:
        p.polygon = true;
        for (std::uint32_t i = 0; i + 3 < count; i += 2) {
            add_quad(p, i, i + 1, i + 3, i + 2);
        }
        break;
    case GL_POLYGON:
        p.polygon = true;
        if (count >= 3) {
            for (std::uint32_t i = 1; i + 1 < count; ++i) {
                add_triangle(p, 0, i, i + 1);
            }
            p.edges.insert(p.edges.end(), {count - 1, 0});
            for (std::uint32_t i = 0; i + 1 < count; ++i) {
                p.edges.insert(p.edges.end(), {i, i + 1});
            }
        }
        break;
    default:
        break;
    }
}
