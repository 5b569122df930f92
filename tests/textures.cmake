# Textures: header reading and the built-in images without a GL context; the
# upload and the decoder in a real one.
qv_test(NAME textures_unit_tests LABEL unit
  SOURCES unit/bmp_read_test.cpp unit/builtin_images_test.cpp unit/texture_upload_test.cpp
  LIBS qv_textures qv_assets qv_state qv_fake_platform)

qv_test(NAME textures_gl_tests LABEL gl
  SOURCES gl/texture_gl_test.cpp
  LIBS qv_gl_context)
