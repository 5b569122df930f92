// state_calls.cpp -- capabilities, polygon mode, blending, clearing, viewport, and the state-only lights and fog
#include <GL/gl.h>

#include <algorithm>

#include "gl11/es_functions.h"
#include "gl11/layer_state.h"

// Lighting and fog are kept as state and never drawn. The demo turns both on
// at set-up, but every scene starts by switching fog and lighting off and
// nothing turns them on again, and the fade quad switches lighting off itself.
// The one draw with fog on is the fade quad before the first frame, at eye
// distance 1 where linear fog from 125 to 150 leaves the colour as it is, and
// the first frame's clear wipes it. Texture generation is switched off only.
static bool* state_only_switch(GLenum cap)
{
    switch (cap) {
    case GL_TEXTURE_2D:
        return &gl11.enabled.texture_2d;
    case GL_FOG:
        return &gl11.enabled.fog;
    case GL_LIGHTING:
        return &gl11.enabled.lighting;
    case GL_LIGHT0:
        return &gl11.enabled.light0;
    case GL_TEXTURE_GEN_S:
        return &gl11.enabled.texture_gen_s;
    case GL_TEXTURE_GEN_T:
        return &gl11.enabled.texture_gen_t;
    default:
        return nullptr;
    }
}

// Capabilities ES has under the same name and meaning.
static bool es_capability(GLenum cap)
{
    switch (cap) {
    case GL_BLEND:
    case GL_CULL_FACE:
    case GL_DEPTH_TEST:
    case GL_DITHER:
    case GL_POLYGON_OFFSET_FILL:
    case GL_SCISSOR_TEST:
    case GL_STENCIL_TEST:
        return true;
    default:
        return false;
    }
}

static void set_capability(GLenum cap, bool on)
{
    if (!gl11.started) {
        return;
    }
    if (bool* flag = state_only_switch(cap)) {
        *flag = on;
    } else if (es_capability(cap)) {
        (on ? es.Enable : es.Disable)(cap);
        if (cap == GL_BLEND) {
            gl11.blend = on;
        } else if (cap == GL_DEPTH_TEST) {
            gl11.depth_test = on;
        } else if (cap == GL_STENCIL_TEST) {
            gl11.stencil_test = on;
        }
    }
}

void glEnable(GLenum cap)
{
    set_capability(cap, true);
}

void glDisable(GLenum cap)
{
    set_capability(cap, false);
}

// ES interpolates with perspective correction always, the nicest there is.
void glHint(GLenum target, GLenum mode)
{
    if (target == GL_PERSPECTIVE_CORRECTION_HINT) {
        gl11.perspective_hint = mode;
    }
}

// Smooth shading is what the shader does; the demo never asks for flat.
void glShadeModel(GLenum mode)
{
    if (mode == GL_SMOOTH || mode == GL_FLAT) {
        gl11.shade_model = mode;
    }
}

void glPolygonMode(GLenum face, GLenum mode)
{
    if (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL) {
        return;
    }
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) {
        gl11.polygon_mode_front = mode;
    }
    if (face == GL_BACK || face == GL_FRONT_AND_BACK) {
        gl11.polygon_mode_back = mode;
    }
}

void glFogi(GLenum pname, GLint param)
{
    if (pname == GL_FOG_MODE) {
        gl11.fog_mode = param;
    }
}

void glFogf(GLenum pname, GLfloat param)
{
    if (pname == GL_FOG_START) {
        gl11.fog_start = param;
    } else if (pname == GL_FOG_END) {
        gl11.fog_end = param;
    } else if (pname == GL_FOG_MODE) {
        gl11.fog_mode = static_cast<GLint>(param);
    }
}

static void copy4(const GLfloat* from, std::array<float, 4>& to)
{
    if (from != nullptr) {
        std::copy_n(from, 4, to.begin());
    }
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params)
{
    if (light != GL_LIGHT0) {
        return;
    }
    if (pname == GL_AMBIENT) {
        copy4(params, gl11.light0[0]);
    } else if (pname == GL_DIFFUSE) {
        copy4(params, gl11.light0[1]);
    } else if (pname == GL_POSITION) {
        // Kept as given; the GL would carry it into eye space here.
        copy4(params, gl11.light0[2]);
    }
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params)
{
    if (face != GL_FRONT && face != GL_FRONT_AND_BACK) {
        return;
    }
    if (pname == GL_AMBIENT) {
        copy4(params, gl11.material[0]);
    } else if (pname == GL_DIFFUSE) {
        copy4(params, gl11.material[1]);
    }
}

void glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    if (gl11.started) {
        es.BlendFunc(sfactor, dfactor);
        gl11.blend_source = sfactor;
        gl11.blend_destination = dfactor;
    }
}

void glClear(GLbitfield mask)
{
    if (gl11.started) {
        es.Clear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
    }
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    if (gl11.started) {
        es.ClearColor(red, green, blue, alpha);
    }
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (gl11.started && width >= 0 && height >= 0) {
        es.Viewport(x, y, width, height);
    }
}
