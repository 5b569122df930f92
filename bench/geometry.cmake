# The CPU half of the torus generator; the GL entry points it links are never
# called.
add_executable(torus_bench torus_bench.cpp
  $<TARGET_OBJECTS:qv_geometry> $<TARGET_OBJECTS:qv_app_state>)
target_include_directories(torus_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(torus_bench PRIVATE benchmark::benchmark benchmark::benchmark_main OpenGL::GL)
