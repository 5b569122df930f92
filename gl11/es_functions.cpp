// es_functions.cpp -- finds the context's own ES 3.0 entry points by name
#include "gl11/es_functions.h"

EsFunctions es{};

namespace {

struct Loader {
    void* (*lookup)(const char*);
    const char* missing = nullptr;

    // `own` is the layer's function of the same name, where it has one: a
    // lookup that answers with it would make every call recurse.
    template <typename F>
    void operator()(F& slot, const char* name, F own = nullptr)
    {
        void* found = lookup(name);
        slot = reinterpret_cast<F>(found);
        if (missing == nullptr && (found == nullptr || slot == own)) {
            missing = name;
        }
    }
};

}  // namespace

const char* es_load(void* (*lookup)(const char* name))
{
    Loader load{lookup};
    load(es.ActiveTexture, "glActiveTexture");
    load(es.AttachShader, "glAttachShader");
    load(es.BindAttribLocation, "glBindAttribLocation");
    load(es.BindBuffer, "glBindBuffer");
    load(es.BindTexture, "glBindTexture", &glBindTexture);
    load(es.BlendFunc, "glBlendFunc", &glBlendFunc);
    load(es.BufferData, "glBufferData");
    load(es.Clear, "glClear", &glClear);
    load(es.ClearColor, "glClearColor", &glClearColor);
    load(es.CompileShader, "glCompileShader");
    load(es.CopyTexImage2D, "glCopyTexImage2D", &glCopyTexImage2D);
    load(es.CreateProgram, "glCreateProgram");
    load(es.CreateShader, "glCreateShader");
    load(es.Disable, "glDisable", &glDisable);
    load(es.DisableVertexAttribArray, "glDisableVertexAttribArray");
    load(es.DrawArrays, "glDrawArrays");
    load(es.DrawElements, "glDrawElements", &glDrawElements);
    load(es.Enable, "glEnable", &glEnable);
    load(es.EnableVertexAttribArray, "glEnableVertexAttribArray");
    load(es.GenBuffers, "glGenBuffers");
    load(es.GenerateMipmap, "glGenerateMipmap");
    load(es.GenTextures, "glGenTextures", &glGenTextures);
    load(es.GetProgramInfoLog, "glGetProgramInfoLog");
    load(es.GetProgramiv, "glGetProgramiv");
    load(es.GetShaderInfoLog, "glGetShaderInfoLog");
    load(es.GetShaderiv, "glGetShaderiv");
    load(es.GetUniformLocation, "glGetUniformLocation");
    load(es.LinkProgram, "glLinkProgram");
    load(es.ReadPixels, "glReadPixels");
    load(es.ShaderSource, "glShaderSource");
    load(es.TexImage2D, "glTexImage2D", &glTexImage2D);
    load(es.TexParameteri, "glTexParameteri", &glTexParameteri);
    load(es.Uniform1i, "glUniform1i");
    load(es.UniformMatrix4fv, "glUniformMatrix4fv");
    load(es.UseProgram, "glUseProgram");
    load(es.VertexAttrib4f, "glVertexAttrib4f");
    load(es.VertexAttribPointer, "glVertexAttribPointer");
    load(es.Viewport, "glViewport", &glViewport);
    return load.missing;
}
