# The application shell: window lifecycle, window procedure and frame loop on the
# fake platform; the projection in a real context.
qv_test(NAME app_unit_tests LABEL unit
  SOURCES unit/window_lifecycle_test.cpp unit/window_procedure_test.cpp
          unit/frame_loop_test.cpp unit/emulated_timer_test.cpp unit/run_options_test.cpp
  LIBS qv_app qv_state qv_platform_common qv_scaled_picture qv_fake_platform qv_fake_render)

qv_test(NAME app_gl_tests LABEL gl
  SOURCES gl/window_gl_test.cpp
  LIBS qv_gl_context qv_render_checks)
