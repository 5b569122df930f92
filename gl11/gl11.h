// gl11.h -- starts the OpenGL 1.1 subset over an OpenGL ES 3.0 / WebGL 2 context
#pragma once

// What the platform hands the layer to find the real ES entry points by name
// ("glEnable"): eglGetProcAddress natively, gl11_web_lookup on the web. It must
// return the context's own function, never the layer's.
using Gl11Lookup = void* (*)(const char* name);

#ifdef __EMSCRIPTEN__
// The browser's WebGL 2 functions the layer uses, by their GL names; nullptr
// for any other name.
void* gl11_web_lookup(const char* name);
#endif

// Makes the layer ready on the ES 3.0 context that is current now: loads the
// real entry points through `lookup`, builds the shader pair and the stream
// buffers, and sets the GL 1.1 defaults. Returns false, with a line on stderr
// saying what is missing, when an entry point cannot be found or the shaders do
// not build; the GL 1.1 calls then do nothing. Called once by the platform file
// after its context is current and before the demo's first GL call.
bool gl11_start(Gl11Lookup lookup);
