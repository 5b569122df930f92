// scene_b.h -- the tumbling filled-and-wireframe torus
#pragma once

// Draws Scene B at scene time t over a freshly cleared frame.
void draw_scene_b(float t);
