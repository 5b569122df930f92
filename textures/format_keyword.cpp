// format_keyword.cpp -- the format keyword table shared by upload and decoder
#include "textures/format_keyword.h"

#include <GL/gl.h>

#include <cstring>

namespace {

struct FormatEntry {
    const char* keyword;
    std::uint32_t format;
    std::int32_t bytes_per_pixel;
};

// Searched in this order; "jpg" images arrive already unpacked to RGB bytes.
constexpr FormatEntry format_table[] = {
    {"rgb", GL_RGB, 3},
    {"rgba", GL_RGBA, 4},
    {"luminance", GL_LUMINANCE, 1},
    {"jpg", GL_RGB, 3},
};

const FormatEntry* find_entry(const char* keyword)
{
    const char* text = keyword ? keyword : "";
    for (const FormatEntry& entry : format_table) {
        if (std::strcmp(text, entry.keyword) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

std::uint32_t format_for_keyword(const char* keyword)
{
    const FormatEntry* entry = find_entry(keyword);
    return entry ? entry->format : 0;
}

std::int32_t bytes_per_pixel_for_keyword(const char* keyword)
{
    const FormatEntry* entry = find_entry(keyword);
    return entry ? entry->bytes_per_pixel : 0;
}
