// es_function_list.h -- the ES 3.0 entry points the layer draws with, once
//
// Every place that names them expands this list: the table's members
// (es_functions.h), the loader (es_functions.cpp) and the browser's lookup
// (es_lookup_web.cpp). Define both macros, then include; they are undefined
// at the end. ES_FUNCTION(Name, Return, Parameters) is a function only the
// context has; ES_LAYER_FUNCTION is one the layer also defines under the same
// gl name, which the loader must not be handed back.
//
// No include guard: each includer expands it with its own macros.

ES_FUNCTION(ActiveTexture, void, (GLenum))
ES_FUNCTION(AttachShader, void, (GLuint, GLuint))
ES_FUNCTION(BindAttribLocation, void, (GLuint, GLuint, const char*))
ES_FUNCTION(BindBuffer, void, (GLenum, GLuint))
ES_LAYER_FUNCTION(BindTexture, void, (GLenum, GLuint))
ES_LAYER_FUNCTION(BlendFunc, void, (GLenum, GLenum))
ES_FUNCTION(BufferData, void, (GLenum, std::ptrdiff_t, const void*, GLenum))
ES_LAYER_FUNCTION(Clear, void, (GLbitfield))
ES_LAYER_FUNCTION(ClearColor, void, (GLfloat, GLfloat, GLfloat, GLfloat))
ES_FUNCTION(CompileShader, void, (GLuint))
ES_LAYER_FUNCTION(CopyTexImage2D, void, (GLenum, GLint, GLenum, GLint, GLint, GLsizei, GLsizei, GLint))
ES_FUNCTION(CreateProgram, GLuint, ())
ES_FUNCTION(CreateShader, GLuint, (GLenum))
ES_LAYER_FUNCTION(Disable, void, (GLenum))
ES_FUNCTION(DisableVertexAttribArray, void, (GLuint))
ES_FUNCTION(DrawArrays, void, (GLenum, GLint, GLsizei))
ES_LAYER_FUNCTION(DrawElements, void, (GLenum, GLsizei, GLenum, const void*))
ES_LAYER_FUNCTION(Enable, void, (GLenum))
ES_FUNCTION(EnableVertexAttribArray, void, (GLuint))
ES_FUNCTION(GenBuffers, void, (GLsizei, GLuint*))
ES_FUNCTION(GenerateMipmap, void, (GLenum))
ES_LAYER_FUNCTION(GenTextures, void, (GLsizei, GLuint*))
ES_FUNCTION(GetProgramInfoLog, void, (GLuint, GLsizei, GLsizei*, char*))
ES_FUNCTION(GetProgramiv, void, (GLuint, GLenum, GLint*))
ES_FUNCTION(GetShaderInfoLog, void, (GLuint, GLsizei, GLsizei*, char*))
ES_FUNCTION(GetShaderiv, void, (GLuint, GLenum, GLint*))
ES_FUNCTION(GetUniformLocation, GLint, (GLuint, const char*))
ES_FUNCTION(LinkProgram, void, (GLuint))
ES_FUNCTION(ReadPixels, void, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))
ES_FUNCTION(ShaderSource, void, (GLuint, GLsizei, const char* const*, const GLint*))
ES_LAYER_FUNCTION(TexImage2D, void, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*))
ES_LAYER_FUNCTION(TexParameteri, void, (GLenum, GLenum, GLint))
ES_FUNCTION(Uniform1i, void, (GLint, GLint))
ES_FUNCTION(UniformMatrix4fv, void, (GLint, GLsizei, GLboolean, const GLfloat*))
ES_FUNCTION(UseProgram, void, (GLuint))
ES_FUNCTION(VertexAttrib4f, void, (GLuint, GLfloat, GLfloat, GLfloat, GLfloat))
ES_FUNCTION(VertexAttribPointer, void, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*))
ES_LAYER_FUNCTION(Viewport, void, (GLint, GLint, GLsizei, GLsizei))

#undef ES_FUNCTION
#undef ES_LAYER_FUNCTION
