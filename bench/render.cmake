# One frame body rendered offscreen on Mesa (start-up as the program does it)
# against a bare clear-and-swap frame, and the time from process start to the
# first presented frame.
add_executable(frame_bench frame_bench.cpp)
target_link_libraries(frame_bench PRIVATE quorvex_core qv_platform_sdl benchmark::benchmark)

# The scaled window's step (clear the window, blit the picture into it) against
# the same frames drawn into the picture alone, in one run, on SDL's offscreen
# driver: a plain timed program.
add_executable(scaled_picture_bench scaled_picture_bench.cpp)
target_link_libraries(scaled_picture_bench PRIVATE quorvex_core qv_platform_sdl qv_scaled_picture OpenGL::GL)
