// scene_b.cpp -- placeholder until Scene B lands
#include "render/scene_b.h"

void draw_scene_b(float) {}
