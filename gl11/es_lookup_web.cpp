// es_lookup_web.cpp -- the WebGL 2 entry points by name, for gl11_start on the web
#include <webgl/webgl1.h>

#include <cstring>

#include "gl11/gl11.h"

// emscripten's own aliases of its WebGL functions: they stay the browser's
// even where the layer defines a glEnable of its own. Naming only these keeps
// the rest of the WebGL library out of the program.
#define ES_ENTRY(name) {#name, reinterpret_cast<void*>(&emscripten_##name)}

namespace {

struct Entry {
    const char* name;
    void* function;
};

const Entry entries[] = {
    ES_ENTRY(glActiveTexture),
    ES_ENTRY(glAttachShader),
    ES_ENTRY(glBindAttribLocation),
    ES_ENTRY(glBindBuffer),
    ES_ENTRY(glBindTexture),
    ES_ENTRY(glBlendFunc),
    ES_ENTRY(glBufferData),
    ES_ENTRY(glClear),
    ES_ENTRY(glClearColor),
    ES_ENTRY(glCompileShader),
    ES_ENTRY(glCopyTexImage2D),
    ES_ENTRY(glCreateProgram),
    ES_ENTRY(glCreateShader),
    ES_ENTRY(glDisable),
    ES_ENTRY(glDisableVertexAttribArray),
    ES_ENTRY(glDrawArrays),
    ES_ENTRY(glDrawElements),
    ES_ENTRY(glEnable),
    ES_ENTRY(glEnableVertexAttribArray),
    ES_ENTRY(glGenBuffers),
    ES_ENTRY(glGenerateMipmap),
    ES_ENTRY(glGenTextures),
    ES_ENTRY(glGetProgramInfoLog),
    ES_ENTRY(glGetProgramiv),
    ES_ENTRY(glGetShaderInfoLog),
    ES_ENTRY(glGetShaderiv),
    ES_ENTRY(glGetUniformLocation),
    ES_ENTRY(glLinkProgram),
    ES_ENTRY(glReadPixels),
    ES_ENTRY(glShaderSource),
    ES_ENTRY(glTexImage2D),
    ES_ENTRY(glTexParameteri),
    ES_ENTRY(glUniform1i),
    ES_ENTRY(glUniformMatrix4fv),
    ES_ENTRY(glUseProgram),
    ES_ENTRY(glVertexAttrib4f),
    ES_ENTRY(glVertexAttribPointer),
    ES_ENTRY(glViewport),
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
