// scene_a.cpp -- the spinning torus with its zoom blur and the two glow panels
#include "render/scene_a.h"

#include <GL/gl.h>

#include <cmath>

#include "render/blur.h"
#include "render/scene_common.h"
#include "state/app_state.h"

void draw_scene_a(float t)
{
    begin_torus_scene(t);

    // Only the torus goes into the blur, so the panels are never blurred. The
    // capture's clear is what lays the dark-blue background.
    capture_to_texture(app.torus_list, app.blur_texture);
    glBindTexture(GL_TEXTURE_2D, app.torus_texture);
    glCallList(app.torus_list);

    draw_orbiting_panels(t);

    // The blur's strength swings with the panel orbit, between 0.274 and 0.326.
    double p = static_cast<double>(orbit_rate) * t;
    float start_alpha = static_cast<float>(static_cast<double>(0.3f) +
                                           static_cast<double>(blur_alpha_swing) * std::cos(p));
    draw_zoom_blur(5, 0.015f, start_alpha, app.blur_texture);
}
