// scene_a.h -- the zoom-blurred spinning torus
#pragma once

// Draws Scene A at scene time t over a freshly cleared frame.
void draw_scene_a(float t);
