# The real executable under its own Xvfb (an 800x600 screen), driven with xdotool.
find_package(X11 REQUIRED)
add_executable(send_close e2e/send_close.c)
target_link_libraries(send_close PRIVATE X11::X11)
target_compile_options(send_close PRIVATE -Wno-conversion)
add_executable(grab_server e2e/grab_server.c)
target_link_libraries(grab_server PRIVATE X11::X11)
add_executable(host_window e2e/host_window.c)
target_link_libraries(host_window PRIVATE X11::X11)

# The scaled hosts' cases (saver, saver_hidden_and_gone, window_resized) read the
# screen with ffmpeg and exit 77 (skipped, and say why) without it.
foreach(case title key close sigterm system_keys_and_mouse no_display server_gone error_box saver
        saver_hidden_and_gone window_resized)
  add_test(NAME e2e_${case}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e.sh ${case} $<TARGET_FILE:quorvex> $<TARGET_FILE:send_close>
      $<TARGET_FILE:grab_server> $<TARGET_FILE:host_window>)
  # At exit, the system's D-Bus client and the GL driver SDL has already unloaded
  # leave allocations that leak checking would blame on the program; address and
  # undefined-behaviour checks stay on.
  set_tests_properties(e2e_${case} PROPERTIES LABELS e2e TIMEOUT 60 SKIP_RETURN_CODE 77
    ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::detect_leaks=0")
  qv_timed_tests(e2e_${case})
endforeach()

# The desktop's mode on a server that really switches it (Xorg's dummy driver),
# bare and under openbox: each runs all the desktop cases on its own servers and
# exits 77 (skipped, and says why) where Xorg cannot be started.
foreach(case desktop desktop_openbox)
  add_test(NAME e2e_${case}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e.sh ${case} $<TARGET_FILE:quorvex> $<TARGET_FILE:send_close>
      $<TARGET_FILE:grab_server>)
  set_tests_properties(e2e_${case} PROPERTIES LABELS e2e TIMEOUT 480
    SKIP_RETURN_CODE 77 ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::detect_leaks=0")
  qv_timed_tests(e2e_${case})
endforeach()
