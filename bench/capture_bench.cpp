// capture_bench.cpp -- quorvex-capture over a whole cycle: rendering alone, to PNG and to Y4M;
// and PNG beside busy cores
//
// Each mode runs the real tool as a process, the three side by side in every
// iteration (in alternating order, so a neighbour's load falls on all of them
// alike). The counters give the median frame rates, and each writer's rate as a
// share of the rendering-only rate of the same iteration, the median over
// iterations: this machine's speed drifts by 10% from minute to minute, and a
// ratio of runs seconds apart is steadier than a ratio of medians.
// QUORVEX_BENCH_FRAMES=FIRST..LAST picks other frames.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Seconds the tool takes with `args`, or a negative number when it fails.
double run_tool(const std::vector<std::string>& args)
{
    auto started = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        std::vector<char*> argv{const_cast<char*>(QUORVEX_CAPTURE_PATH)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_capture_cycle(benchmark::State& state)
{
    const char* from_env = std::getenv("QUORVEX_BENCH_FRAMES");
    const std::string frames = from_env ? from_env : "1..682";
    std::size_t dots = frames.find("..");
    const double count = dots == std::string::npos
                             ? 1.0
                             : std::stod(frames.substr(dots + 2)) - std::stod(frames.substr(0, dots)) + 1.0;

    std::string pattern = (fs::temp_directory_path() / "qv-capture-bench.XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const fs::path dir = pattern;
    const std::vector<std::string> render_only{"--frames", frames, "--null"};
    const std::vector<std::string> png{"--frames", frames, "--out", (dir / "png").string()};
    const std::vector<std::string> y4m{"--frames", frames, "--y4m", (dir / "clip.y4m").string()};

    // Each run's files are removed and flushed before the next starts, so that
    // no run pays for writing back the half-gigabyte the one before it wrote.
    auto run_alone = [&](const std::vector<std::string>& args) {
        double seconds = run_tool(args);
        fs::remove_all(dir / "png");
        fs::remove(dir / "clip.y4m");
        sync();
        return seconds;
    };
    std::vector<double> render_seconds, png_seconds, y4m_seconds, png_ratios, y4m_ratios;
    bool forward = true;
    for (auto _ : state) {
        double r = 0, p = 0, y = 0;
        if (forward) {
            r = run_alone(render_only);
            p = run_alone(png);
            y = run_alone(y4m);
        } else {
            y = run_alone(y4m);
            p = run_alone(png);
            r = run_alone(render_only);
        }
        forward = !forward;
        if (r < 0 || p < 0 || y < 0) {
            state.SkipWithError("quorvex-capture failed");
            break;
        }
        render_seconds.push_back(r);
        png_seconds.push_back(p);
        y4m_seconds.push_back(y);
        png_ratios.push_back(r / p);
        y4m_ratios.push_back(r / y);
        state.SetIterationTime(r + p + y);
    }
    fs::remove_all(dir);
    if (render_seconds.empty()) {
        return;
    }

    const double render_fps = count / median(render_seconds);
    const double png_fps = count / median(png_seconds);
    const double y4m_fps = count / median(y4m_seconds);
    state.counters["render_fps"] = render_fps;
    state.counters["png_fps"] = png_fps;
    state.counters["y4m_fps"] = y4m_fps;
    state.counters["png_ratio"] = median(png_ratios);
    state.counters["y4m_ratio"] = median(y4m_ratios);
    state.counters["png_ratio_min"] = *std::min_element(png_ratios.begin(), png_ratios.end());
    state.counters["y4m_ratio_min"] = *std::min_element(y4m_ratios.begin(), y4m_ratios.end());
}

BENCHMARK(BM_capture_cycle)->UseManualTime()->Iterations(5)->Unit(benchmark::kSecond);

// The PNG writer runs on time the cores have spare. Beside programs that keep
// every core busy there is little, and the renderer must write frames itself
// rather than wait for it. `slowdown` is a 60-frame capture's time beside one
// spinning process per core over its time alone (it was 2-2.4 on two idle
// cores, and 33 with a writer left to spare time alone).
void BM_png_beside_busy_cores(benchmark::State& state)
{
    std::string pattern = (fs::temp_directory_path() / "qv-capture-busy.XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const fs::path dir = pattern;
    const std::vector<std::string> png{"--frames", "1..60", "--out", (dir / "png").string()};
    std::vector<double> slowdowns;
    for (auto _ : state) {
        const double alone = run_tool(png);
        fs::remove_all(dir / "png");
        std::vector<pid_t> busy;
        for (long core = 0; core < std::max(sysconf(_SC_NPROCESSORS_ONLN), 1L); ++core) {
            pid_t child = fork();
            if (child == 0) {
                volatile unsigned long spin = 0;
                for (;;) {
                    spin = spin + 1;
                }
            }
            busy.push_back(child);
        }
        const double beside_busy = run_tool(png);
        for (pid_t child : busy) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        fs::remove_all(dir / "png");
        if (alone < 0 || beside_busy < 0) {
            state.SkipWithError("quorvex-capture failed");
            break;
        }
        slowdowns.push_back(beside_busy / alone);
        state.SetIterationTime(alone + beside_busy);
    }
    fs::remove_all(dir);
    if (!slowdowns.empty()) {
        state.counters["slowdown"] = median(slowdowns);
    }
}

BENCHMARK(BM_png_beside_busy_cores)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
