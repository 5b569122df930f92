// frame_bench.cpp -- one frame body rendered offscreen against a bare frame, and start-up to first frame
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "app/frame_loop.h"
#include "platform/platform.h"
#include "render/blur.h"
#include "state/app_state.h"

extern char** environ;

namespace {

void ensure_started()
{
    static bool started = false;
    if (!started) {
        start_up();
        started = true;
    }
}

// Everything run_frame does but the 2 ms sleep. glFinish makes the renderer's
// deferred work land inside the measurement.
void frame_without_sleep()
{
    run_frame_without_pause();
    glFinish();
}

// Frames of one scene only: the clock is wound back before it leaves the
// scene's half of the cycle. The fade quad is drawn (invisibly) in every frame.
void run_scene_frames(benchmark::State& state, float first, float last)
{
    ensure_started();
    app.scene_time = first;
    app.fade_level = -1.0f;
    for (auto _ : state) {
        if (app.scene_time >= last) {
            app.scene_time = first;
        }
        frame_without_sleep();
    }
}

void BM_frame_scene_a(benchmark::State& state)
{
    run_scene_frames(state, 0.0f, 74.5f);
}

void BM_frame_scene_b(benchmark::State& state)
{
    run_scene_frames(state, 75.0f, 149.5f);
}

// One whole cycle as the program runs it from start-up: 682 frames, both
// scenes in turn and the fades. The figure is the mean frame.
void BM_frame_cycle(benchmark::State& state)
{
    ensure_started();
    app.scene_time = 0.0f;
    app.fade_level = 1.0f;
    for (auto _ : state) {
        frame_without_sleep();
    }
}

// Scene A's two extra passes on their own: the capture (the torus into the
// corner, the copy, the full clear) and the five full-screen blur layers.
void BM_capture(benchmark::State& state)
{
    ensure_started();
    for (auto _ : state) {
        capture_to_texture(app.torus_list, app.blur_texture);
        glFinish();
    }
}

void BM_zoom_blur(benchmark::State& state)
{
    ensure_started();
    for (auto _ : state) {
        draw_zoom_blur(5, 0.015f, 0.3f, app.blur_texture);
        glFinish();
    }
}

// The floor under every frame: the clear and the swap alone.
void BM_frame_bare(benchmark::State& state)
{
    ensure_started();
    for (auto _ : state) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        platform_swap_buffers(app.dc);
        glFinish();
    }
}

// The child side of the start-up measurement: start up, make one frame as
// run_frame does up to its swap, say so on standard output, and end.
[[noreturn]] void first_frame_child()
{
    start_up();
    run_frame_without_pause();
    glFinish();
    (void)!write(STDOUT_FILENO, "F", 1);
    exit_program();
}

// From spawning a fresh process of this program to its first presented frame:
// loading, SDL and the GL driver, textures, torus and the first frame.
void BM_start_up_to_first_frame(benchmark::State& state)
{
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        char self[] = "/proc/self/exe";
        char flag[] = "--first-frame";
        char* args[] = {self, flag, nullptr};

        auto begin = std::chrono::steady_clock::now();
        pid_t child = 0;
        int spawned = posix_spawn(&child, self, &actions, nullptr, args, environ);
        close(fds[1]);
        char signal = 0;
        ssize_t got = spawned == 0 ? read(fds[0], &signal, 1) : -1;
        auto end = std::chrono::steady_clock::now();

        close(fds[0]);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned == 0) {
            waitpid(child, nullptr, 0);
        }
        if (got != 1) {
            state.SkipWithError("the child presented no frame");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
}

}  // namespace

BENCHMARK(BM_start_up_to_first_frame)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
// The renderer works on its own threads: iterations are counted by wall time.
BENCHMARK(BM_frame_bare)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_frame_scene_a)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_frame_scene_b)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_capture)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_zoom_blur)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_frame_cycle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(682);

int main(int argc, char** argv)
{
    // Offscreen on Mesa's software renderer, whatever display the shell has.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    if (argc > 1 && std::strcmp(argv[1], "--first-frame") == 0) {
        first_frame_child();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
