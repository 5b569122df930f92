// format_keyword.h -- the format keywords that pick a texture's GL pixel format
#pragma once

#include <cstdint>

// The GL pixel format (also the internal format) that `keyword` names: GL_RGB for
// "rgb" and "jpg", GL_RGBA for "rgba", GL_LUMINANCE for "luminance". The whole
// text must match, case included; any other text, or null, gives 0. Used by the
// texture upload and, for the bytes it will read, by the BMP decoder.
std::uint32_t format_for_keyword(const char* keyword);

// Bytes per pixel the GL reads for the format `keyword` names; 0 when the
// keyword names none (the upload then gives the texture no image).
std::int32_t bytes_per_pixel_for_keyword(const char* keyword);
