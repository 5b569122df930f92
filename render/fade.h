// fade.h -- the full-screen fade quad
#pragma once

// Blends a quad of colour (grey, grey, grey, alpha) over the whole viewport
// with (SRC_ALPHA, ONE_MINUS_SRC_ALPHA). `alpha` is not limited here: the GL
// clamps it, so at or below 0 the picture is unchanged and at or above 1 it is
// covered. Expects the 45-degree perspective projection and GL_MODELVIEW
// current; leaves the modelview at a translation by (0, 0, -1), blending on,
// depth test, lighting and texturing off. Called by start-up once and by the
// frame loop after every scene.
void draw_fade_quad(float grey, float alpha);
