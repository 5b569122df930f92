// scene_a.cpp -- placeholder until Scene A lands
#include "render/scene_a.h"

void draw_scene_a(float) {}
