// es_lookup_web.cpp -- the WebGL 2 entry points by name, for gl11_start on the web
#include <webgl/webgl1.h>

#include <cstring>

#include "gl11/gl11.h"

// emscripten's own aliases of its WebGL functions: they stay the browser's
// even where the layer defines a glEnable of its own. Naming only these keeps
// the rest of the WebGL library out of the program.

namespace {

struct Entry {
    const char* name;
    void* function;
};

const Entry entries[] = {
#define ES_FUNCTION(name, ret, params) {"gl" #name, reinterpret_cast<void*>(&emscripten_gl##name)},
#define ES_LAYER_FUNCTION ES_FUNCTION
#include "gl11/es_function_list.h"
};

}  // namespace

void* gl11_web_lookup(const char* name)
{
    for (const Entry& entry : entries) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.function;
        }
    }
    return nullptr;
}
