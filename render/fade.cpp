// fade.cpp -- placeholder until the fade quad lands
#include "render/fade.h"

void draw_fade_quad(float, float) {}
