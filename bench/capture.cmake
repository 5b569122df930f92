# quorvex-capture's writers against rendering alone, over a whole cycle.
add_executable(capture_bench capture_bench.cpp)
target_link_libraries(capture_bench PRIVATE benchmark::benchmark)
target_compile_definitions(capture_bench PRIVATE
  QUORVEX_CAPTURE_PATH="$<TARGET_FILE:quorvex-capture>")
add_dependencies(capture_bench quorvex-capture)
