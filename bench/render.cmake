# One frame body rendered offscreen on Mesa (start-up as the program does it)
# against a bare clear-and-swap frame, and the time from process start to the
# first presented frame.
add_executable(frame_bench frame_bench.cpp)
target_link_libraries(frame_bench PRIVATE quorvex_core qv_platform_sdl benchmark::benchmark)
