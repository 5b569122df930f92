# quorvex-capture's writers against rendering alone, over a whole cycle.
add_executable(capture_bench capture_bench.cpp)
target_link_libraries(capture_bench PRIVATE benchmark::benchmark)
target_compile_definitions(capture_bench PRIVATE
  QUORVEX_CAPTURE_PATH="$<TARGET_FILE:quorvex-capture>")
add_dependencies(capture_bench quorvex-capture)

# The PNG and Y4M writers alone, on the README's frames.
find_package(PNG REQUIRED)
add_executable(encode_bench encode_bench.cpp)
target_link_libraries(encode_bench PRIVATE qv_capture_without_gl qv_posix_process benchmark::benchmark PNG::PNG)
target_compile_definitions(encode_bench PRIVATE QUORVEX_DOCS_DIR="${PROJECT_SOURCE_DIR}/docs")
