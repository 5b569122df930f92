// platform_sdl_internal.h -- what the SDL platform's files share, and nothing outside platform/ sees
#pragma once

// True for SDL's drivers that show nothing ("offscreen", "dummy"), in any case.
bool sdl_is_headless_driver(const char* name);
