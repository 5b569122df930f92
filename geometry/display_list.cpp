// display_list.cpp -- compiles the current mesh into a GL display list
#include "geometry/display_list.h"

#include <GL/gl.h>

#include <cstddef>

#include "state/app_state.h"

std::uint32_t compile_mesh_arrays()
{
    const GLuint list = glGenLists(1);
    if (list == 0) {
        // No list to record into; 0 is not a list name.
        return 0;
    }
    glNewList(list, GL_COMPILE);
    // Client state and pointers act at once and are not recorded; the draw is
    // recorded by copying the vertices it references, so the list needs the
    // arrays no longer. No normal array: the list takes the current normal.
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, app.mesh_positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, app.mesh_texcoords.data());
    glDrawElements(GL_TRIANGLES, 3 * app.triangle_count, GL_UNSIGNED_INT, app.mesh_indices.data());
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEndList();
    return list;
}

std::uint32_t compile_mesh_immediate()
{
    const GLuint list = glGenLists(1);
    if (list == 0) {
        return 0;
    }
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    const std::size_t corners = 3 * static_cast<std::size_t>(app.triangle_count);
    for (std::size_t c = 0; c < corners; ++c) {
        const std::uint32_t slot = app.mesh_indices[c];
        glTexCoord2fv(&app.mesh_texcoords[slot].u);
        glNormal3fv(&app.mesh_normals[slot].x);
        glVertex3fv(&app.mesh_positions[slot].x);
    }
    glEnd();
    glEndList();
    return list;
}
