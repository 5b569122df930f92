# Rendering in a real Mesa context on SDL's offscreen driver: set-up state, blur,
# fade and scenes read back routine by routine, then whole frames through start-up.
add_library(qv_render_checks STATIC gl/render_checks.cpp)
qv_include_root(qv_render_checks tests/gl)
target_link_libraries(qv_render_checks PUBLIC OpenGL::GL)

# Alone in its process: it checks the state of a context nothing else has touched.
qv_test(NAME render_setup_gl_test LABEL gl TIMEOUT 60
  SOURCES gl/render_setup_gl_test.cpp
  LIBS qv_gl_context qv_render_checks)

qv_test(NAME render_gl_tests LABEL gl TIMEOUT 120
  SOURCES gl/blur_fade_gl_test.cpp gl/scene_gl_test.cpp
  LIBS qv_gl_context qv_render_checks)

# Whole frames through start_up and the real frame body: a full cycle of both
# scenes, about 15 s of frames on llvmpipe.
qv_test(NAME frame_gl_test HEAVY LABEL gl TIMEOUT 300
  SOURCES gl/frame_gl_test.cpp
  LIBS qv_gl_context qv_render_checks)

# The README's frames 200, 500 and 672 against the committed pictures in docs/,
# pixel for pixel (libpng reads them).
find_package(PNG REQUIRED)
qv_test(NAME golden_frames_gl_test LABEL gl TIMEOUT 120
  SOURCES gl/golden_frames_gl_test.cpp
  LIBS qv_gl_context qv_render_checks PNG::PNG)
target_compile_definitions(golden_frames_gl_test PRIVATE QUORVEX_DOCS_DIR="${PROJECT_SOURCE_DIR}/docs")
# The same frames drawn into the scaled window's off-screen picture.
qv_add_test(NAME golden_frames_scaled_gl_test EXECUTABLE golden_frames_gl_test LABEL gl TIMEOUT 120)
set_property(TEST golden_frames_scaled_gl_test APPEND PROPERTY ENVIRONMENT QUORVEX_GOLDEN_HOST=1)
