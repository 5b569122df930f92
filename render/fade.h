// fade.h -- the full-screen fade quad
#pragma once

// Blends a grey quad over the whole viewport with `alpha` (not clamped here; GL
// clamps). Leaves blending on with (SRC_ALPHA, ONE_MINUS_SRC_ALPHA), depth test,
// lighting and texturing off.
void draw_fade_quad(float grey, float alpha);
