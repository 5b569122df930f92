// start.cpp -- gl11_start: the real entry points, the shader pair, the GL 1.1 defaults
#include "gl11/gl11.h"

#include <cstdio>

#include "gl11/es_functions.h"
#include "gl11/layer_state.h"
#include "gl11/program.h"

Gl11State gl11;

Mat4& current_matrix()
{
    MatrixStack& stack = gl11.stacks[static_cast<std::size_t>(gl11.matrix_mode)];
    return stack.entries[static_cast<std::size_t>(stack.top)];
}

bool gl11_start(Gl11Lookup lookup)
{
    gl11 = Gl11State{};
    for (MatrixStack& stack : gl11.stacks) {
        stack.entries[0] = mat4_identity();
    }
    gl11.textures[0] = TextureRecord{};

    if (const char* missing = es_load(lookup)) {
        std::fprintf(stderr, "GL 1.1 layer: the context has no %s\n", missing);
        return false;
    }
    if (!build_program()) {
        return false;
    }
    es.GenBuffers(1, &gl11.stream_vertices);
    es.GenBuffers(1, &gl11.stream_indices);
    // The one texture unit GL 1.1 has; the shader's sampler reads unit 0.
    es.ActiveTexture(es_texture0);
    gl11.started = true;
    return true;
}
