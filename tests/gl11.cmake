# The GL 1.1 layer's arithmetic on the CPU: needs nothing but the GL headers.
qv_test(NAME gl11_unit_tests LABEL unit
  SOURCES unit/gl11_test.cpp
  LIBS qv_gl11)

# The GL 1.1 layer over ES 3.0, natively: Mesa's EGL with no display, the demo's
# own objects linked against the layer instead of the desktop GL (their
# objects, not their targets, so no GL library comes along to stand in for a
# function the layer lacks: the link fails instead).
find_path(QUORVEX_EGL_INCLUDE EGL/egl.h)
find_path(QUORVEX_GLES3_INCLUDE GLES3/gl3.h)
find_library(QUORVEX_EGL_LIBRARY EGL)
if(NOT QUORVEX_EGL_INCLUDE OR NOT QUORVEX_GLES3_INCLUDE OR NOT QUORVEX_EGL_LIBRARY)
  message(STATUS "GL 1.1 layer test: SKIPPED, no EGL/GLES headers (libegl-dev, libgles-dev)")
  return()
endif()
find_package(PNG REQUIRED)

qv_test(NAME gl11_frames_gl_test HEAVY LABEL gl TIMEOUT 300
  SOURCES gl/gl11_frames_gl_test.cpp
          $<TARGET_OBJECTS:qv_state> $<TARGET_OBJECTS:qv_app> $<TARGET_OBJECTS:qv_geometry>
          $<TARGET_OBJECTS:qv_textures> $<TARGET_OBJECTS:qv_render> $<TARGET_OBJECTS:qv_assets>
  LIBS qv_gl11 qv_fake_platform PNG::PNG ${QUORVEX_EGL_LIBRARY})
target_include_directories(gl11_frames_gl_test PRIVATE ${QUORVEX_EGL_INCLUDE}
  ${PROJECT_BINARY_DIR}/include-roots/app ${PROJECT_BINARY_DIR}/include-roots/state)
target_compile_definitions(gl11_frames_gl_test PRIVATE QUORVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
