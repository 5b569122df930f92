// render_state.cpp -- placeholder until the render set-up lands
#include "render/render_state.h"

void setup_render_state() {}
