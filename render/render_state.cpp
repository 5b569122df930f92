// render_state.cpp -- textures, lights, fog, blending, viewport and projection, set once
#include "render/render_state.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/builtin_images.h"
#include "render/blur.h"
#include "state/app_state.h"
#include "textures/bmp_decode.h"

static void set4(float* target, float a, float b, float c, float d)
{
    target[0] = a;
    target[1] = b;
    target[2] = c;
    target[3] = d;
}

void setup_render_state()
{
    app.torus_texture = texture_from_bmp(torus_image, torus_image_size, "rgb");
    app.panel_texture = texture_from_bmp(panel_image, panel_image_size, "rgb");
    app.logo_texture = texture_from_bmp(logo_image, logo_image_size, "rgb");
    app.blur_texture = create_blur_texture();

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    setup_lights_and_fog();

    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // 1.3333334f is 800/600 rounded to single precision, as the window layer
    // computes it; every argument is a float widened for GLU.
    gluPerspective(45.0f, 1.3333334f, 1.0f, 100.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setup_lights_and_fog()
{
    set4(app.light_ambient, 0.5f, 0.5f, 0.5f, 1.0f);
    set4(app.light_diffuse, 0.25f, 0.25f, 0.25f, 1.0f);
    set4(app.light_position, 0.0f, 0.0f, 1.0f, 0.0f);  // w = 0: directional, along +Z
    set4(app.material_ambient, 0.8f, 0.8f, 1.0f, 1.0f);
    set4(app.material_diffuse, 0.0f, 0.0f, 0.0f, 0.8f);

    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    // Fog, lighting and culling are part of the initial state only: both scenes
    // turn them off first thing. The fog lies beyond the far plane anyway.
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, 125.0f);
    glFogf(GL_FOG_END, 150.0f);

    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT, GL_AMBIENT, app.material_ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, app.material_diffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, app.light_ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, app.light_diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, app.light_position);
    glEnable(GL_LIGHT0);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
}
