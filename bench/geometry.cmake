# The CPU half of the torus generator; the GL entry points it links are never
# called.
add_executable(torus_bench torus_bench.cpp)
target_link_libraries(torus_bench PRIVATE qv_geometry qv_state benchmark::benchmark benchmark::benchmark_main)
