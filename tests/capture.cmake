# quorvex-capture: its command line, encoders, files and frame queue alone, then
# the tool itself on the offscreen driver. libpng decodes what the encoder
# wrote, zlib inflates as the reference.
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)

qv_test(NAME capture_unit_tests LABEL unit
  SOURCES unit/capture_args_test.cpp unit/capture_encode_test.cpp unit/capture_deflate_test.cpp
          unit/capture_files_test.cpp ${PROJECT_SOURCE_DIR}/capture/message_box.cpp
  LIBS qv_capture_without_gl qv_posix_process qv_platform_api PNG::PNG ZLIB::ZLIB)
# The usage line is checked against the manual's synopsis.
target_compile_definitions(capture_unit_tests PRIVATE
  QUORVEX_MANUAL_PATH="${PROJECT_SOURCE_DIR}/man/quorvex-capture.1.in")

qv_test(NAME capture_tool_tests LABEL gl slow TIMEOUT 600
  SOURCES e2e/capture_tool_test.cpp
  LIBS qv_capture_without_gl qv_posix_process PNG::PNG)
target_compile_definitions(capture_tool_tests PRIVATE
  QUORVEX_CAPTURE_PATH="$<TARGET_FILE:quorvex-capture>")
add_dependencies(capture_tool_tests quorvex-capture)
# The heavy cases (an ffmpeg round trip, a sweep of address-space limits) run
# as a test of their own in the `slow` tier, so the developer's loop can leave
# them out; together the two runs cover every case once.
set(capture_slow_cases "CaptureTool.VideoToolsReadTheStreamAsWritten:CaptureTool.AnAddressSpaceLimit*")
set_tests_properties(capture_tool_tests PROPERTIES ENVIRONMENT_MODIFICATION
  "GTEST_FILTER=set:-${capture_slow_cases};DISPLAY=unset:;WAYLAND_DISPLAY=unset:")
add_test(NAME capture_tool_slow_tests COMMAND capture_tool_tests)
set_tests_properties(capture_tool_slow_tests PROPERTIES LABELS "gl;slow" TIMEOUT 600
  ENVIRONMENT "SDL_VIDEODRIVER=offscreen;LIBGL_ALWAYS_SOFTWARE=1"
  ENVIRONMENT_MODIFICATION "GTEST_FILTER=set:${capture_slow_cases};DISPLAY=unset:;WAYLAND_DISPLAY=unset:")
# An interrupt must end a capture within a second.
qv_timed_tests(capture_tool_tests capture_tool_slow_tests)

# Seeking against drawing every frame. A sample (the first frames and the first
# scene change, alone and in ranges) in every build; every frame of two cycles
# and a few far ones, against one unbroken run to frame 3000, takes minutes
# (slow): the Release build runs it, the sanitizer build, three times slower,
# only the sample.
qv_test(NAME capture_seek_gl_test HEAVY LABEL gl TIMEOUT 300
  ARGS --gtest_filter=Seek.SampledFramesComeOutAsInAnUnbrokenRun
  SOURCES gl/seek_gl_test.cpp
  LIBS qv_gl_context qv_render_checks qv_capture_without_gl qv_posix_process)
set(seek_tests capture_seek_gl_test)
if(NOT QUORVEX_SANITIZE)
  qv_add_test(NAME capture_seek_every_frame_gl_test EXECUTABLE capture_seek_gl_test HEAVY
    LABEL gl slow TIMEOUT 900 ARGS --gtest_filter=Seek.EachFrameComesOutAsInAnUnbrokenRun)
  list(APPEND seek_tests capture_seek_every_frame_gl_test)
endif()
# It makes a GL context again and again, and the driver keeps allocations of
# each (a strdup in libglapi, EGL display data) that leak checking would blame
# on the test; address and undefined-behaviour checks stay on.
set_tests_properties(${seek_tests} PROPERTIES
  ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::detect_leaks=0")
