// torus_bench.cpp -- the CPU side of the torus generator: mesh and normals, no GL
#include <benchmark/benchmark.h>

#include <cstdint>

#include "geometry/torus.h"
#include "state/app_state.h"

namespace {

void build_torus(benchmark::State& state)
{
    const auto tube = static_cast<std::int32_t>(state.range(0));
    const auto ring = static_cast<std::int32_t>(state.range(1));
    for (auto _ : state) {
        if (!build_torus_mesh(tube, ring, 18.0f, 15.0f)) {
            state.SkipWithError("counts rejected");
            break;
        }
        benchmark::DoNotOptimize(app.mesh_normals.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * tube * ring);
    state.counters["triangles"] = static_cast<double>(2 * tube * ring);
}

} // namespace

// The start-up torus, and a large one where memory traffic dominates.
BENCHMARK(build_torus)->Args({32, 24})->Args({512, 512})->Unit(benchmark::kMicrosecond);
