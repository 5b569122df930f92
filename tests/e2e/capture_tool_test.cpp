// capture_tool_test.cpp -- quorvex-capture end to end: the files it writes and the errors it gives
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture/y4m_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr int width = 800;
constexpr int height = 600;

struct ToolRun {
    int status;           // exit status, or -1 when the tool did not exit normally
    std::string errors;   // everything it wrote to standard error
};

struct RunSetup {
    std::string stdout_path = "/dev/null";
    rlim_t file_size_limit = RLIM_INFINITY;   // bytes any one file may grow to
};

// Runs the tool in `dir` with `args`; standard output goes to setup.stdout_path.
ToolRun run_tool(const fs::path& dir, const std::vector<std::string>& args, const RunSetup& setup = {})
{
    fs::path errors_path = dir / ".." / (dir.filename().string() + ".stderr");
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        int out = open(setup.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errors_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
            _exit(126);
        }
        if (setup.file_size_limit != RLIM_INFINITY) {
            // Past the limit a write fails with EFBIG, as on a full disk; ignored
            // here, the signal that would kill the writer stays ignored in the tool.
            rlimit limit{setup.file_size_limit, setup.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        }
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
    std::ifstream in(errors_path);
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string(std::istreambuf_iterator<char>(in), {})};
    fs::remove(errors_path);
    return run;
}

std::vector<std::string> names_in(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string file_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The RGB pixels of a PNG file, top row first; fails the test unless it is a
// complete 800x600 8-bit RGB image.
std::vector<std::uint8_t> decode_frame(const fs::path& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<std::uint8_t> rgb;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return rgb;
    }
    EXPECT_EQ(image.width, static_cast<png_uint_32>(width)) << path;
    EXPECT_EQ(image.height, static_cast<png_uint_32>(height)) << path;
    EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB)) << path;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        rgb.clear();
    }
    return rgb;
}

class CaptureTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() /
               std::string("qv-capture-").append(std::to_string(getpid())).append("-").append(
                   test->name());
        fs::remove_all(root);
        fs::create_directories(root / "work");
        work = root / "work";
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
    fs::path work;   // the tool's working directory
};

TEST_F(CaptureTool, ShortRangeWritesExactlyThoseFramesAsCompletePngs)
{
    ToolRun run = run_tool(work, {"--frames", "3..5", "--out", "shots/a"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(names_in(work / "shots" / "a"),
              (std::vector<std::string>{"frame-000003.png", "frame-000004.png", "frame-000005.png"}));
    for (const std::string& name : names_in(work / "shots" / "a")) {
        EXPECT_EQ(decode_frame(work / "shots" / "a" / name).size(), std::size_t{width * height * 3});
    }
    // Not a terminal: no progress line, just the summary.
    EXPECT_EQ(run.errors.rfind("quorvex-capture: 5 frames rendered in ", 0), std::size_t{0})
        << run.errors;
    EXPECT_TRUE(run.errors.ends_with(" fps), 3 written to shots/a\n")) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
}

TEST_F(CaptureTool, DefaultDirectoryAndFrameListWithGaps)
{
    ToolRun run = run_tool(work, {"--frames", "2,4..5"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(names_in(work), (std::vector<std::string>{"quorvex-frames"}));
    EXPECT_EQ(names_in(work / "quorvex-frames"),
              (std::vector<std::string>{"frame-000002.png", "frame-000004.png", "frame-000005.png"}));
}

// The first frame draws the fade quad at full strength: the whole picture is
// white, the additive logo included.
TEST_F(CaptureTool, FirstFrameIsWhite)
{
    ToolRun run = run_tool(work, {"--frames", "1", "--out", "."});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<std::uint8_t> rgb = decode_frame(work / "frame-000001.png");
    ASSERT_EQ(rgb.size(), std::size_t{width * height * 3});
    auto not_white = std::find_if(rgb.begin(), rgb.end(), [](std::uint8_t v) { return v != 255; });
    EXPECT_EQ(not_white, rgb.end()) << "byte " << (not_white - rgb.begin()) << " is "
                                     << (not_white == rgb.end() ? 0 : int{*not_white});
}

// Frame 12 is past the fade, so the picture has content to differ in. Each frame
// depends on all before it: a single frame must come out as it does in a run
// of the frames leading up to it, and twice the same.
TEST_F(CaptureTool, FramesAreTheSameInEveryRunAndAloneAsInSequence)
{
    ASSERT_EQ(run_tool(work, {"--frames", "1..12", "--out", "one"}).status, 0);
    ASSERT_EQ(run_tool(work, {"--frames", "1..12", "--out", "two"}).status, 0);
    ASSERT_EQ(run_tool(work, {"--frames", "12..12", "--out", "alone"}).status, 0);
    for (int frame = 1; frame <= 12; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", frame);
        EXPECT_EQ(file_bytes(work / "one" / name), file_bytes(work / "two" / name)) << name;
    }
    EXPECT_EQ(names_in(work / "alone"), (std::vector<std::string>{"frame-000012.png"}));
    EXPECT_EQ(decode_frame(work / "alone" / "frame-000012.png"),
              decode_frame(work / "one" / "frame-000012.png"));
}

// Seconds a 60-frame PNG capture takes, into `dir`.
double timed_capture(const fs::path& work, const std::string& dir)
{
    const auto started = std::chrono::steady_clock::now();
    ToolRun run = run_tool(work, {"--frames", "1..60", "--out", dir});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(names_in(work / dir).size(), std::size_t{60});
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// The PNG writer runs on time the cores have spare. Beside programs that keep
// every core busy there is none, and the renderer must write frames itself
// rather than wait for it. Here that took 2-2.4 times as long as on idle cores
// (7 times in the sanitizer build, where encoding is slow), and 33 times as
// long with a writer left to spare time alone.
TEST_F(CaptureTool, BusyCoresDoNotStallThePngWriter)
{
    const double alone = timed_capture(work, "alone");
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
    const double beside_busy = timed_capture(work, "busy");
    for (pid_t child : busy) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    EXPECT_LT(beside_busy, 15 * alone) << "alone " << alone << " s";
}

TEST_F(CaptureTool, Y4mStreamHasItsHeaderAndOneFramePerSelectedFrame)
{
    ToolRun run = run_tool(work, {"--frames", "3..5", "--y4m", "clip.y4m", "--fps", "25"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(names_in(work), (std::vector<std::string>{"clip.y4m"}));
    std::string stream = file_bytes(work / "clip.y4m");
    const std::string header = "YUV4MPEG2 W800 H600 F25:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n";
    const std::size_t frame_bytes = 6 + y4m_frame_size(width, height);
    ASSERT_EQ(stream.size(), header.size() + 3 * frame_bytes);
    EXPECT_EQ(stream.substr(0, header.size()), header);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(stream.substr(header.size() + i * frame_bytes, 6), "FRAME\n") << i;
    }

    // The same frames to standard output, byte for byte.
    RunSetup to_stdout;
    to_stdout.stdout_path = (root / "stdout.y4m").string();
    run = run_tool(work, {"--frames=3..5", "--y4m=-", "--fps=25"}, to_stdout);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(file_bytes(root / "stdout.y4m") == stream);
    EXPECT_NE(run.errors.find("written to standard output"), std::string::npos) << run.errors;

    // Its luma is the PNG frame's, in the same row order.
    ASSERT_EQ(run_tool(work, {"--frames", "4", "--out", "png"}).status, 0);
    std::vector<std::uint8_t> rgb = decode_frame(work / "png" / "frame-000004.png");
    ASSERT_EQ(rgb.size(), std::size_t{width * height * 3});
    const char* luma = stream.data() + header.size() + frame_bytes + 6;
    for (std::size_t row : {std::size_t{0}, std::size_t{300}, std::size_t{599}}) {
        std::vector<std::uint8_t> pixels;
        for (std::size_t x = 0; x < width; x += 2) {
            const std::uint8_t* p = &rgb[(row * width + x) * 3];
            pixels.insert(pixels.end(), {p[0], p[1], p[2], 0, p[3], p[4], p[5], 0});
        }
        pixels.insert(pixels.end(), pixels.begin(), pixels.end());
        std::vector<std::uint8_t> yuv(y4m_frame_size(width, 2));
        rgba_to_yuv420(pixels.data(), width, 2, yuv.data());
        EXPECT_EQ(std::string(luma + row * width, width),
                  std::string(yuv.begin(), yuv.begin() + width))
            << "row " << row;
    }
}

TEST_F(CaptureTool, HelpAndVersion)
{
    RunSetup capture;
    capture.stdout_path = (root / "out.txt").string();
    EXPECT_EQ(run_tool(work, {"--help"}, capture).status, 0);
    EXPECT_EQ(file_bytes(root / "out.txt").rfind("Usage: quorvex-capture", 0), std::size_t{0});
    EXPECT_EQ(run_tool(work, {"--version"}, capture).status, 0);
    EXPECT_EQ(file_bytes(root / "out.txt").rfind("quorvex-capture ", 0), std::size_t{0});

    capture.stdout_path = "/dev/full";
    ToolRun full = run_tool(work, {"--help"}, capture);
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.errors, "quorvex-capture: cannot write to standard output\n");
    EXPECT_TRUE(names_in(work).empty());
}

// Every bad input: one line on standard error, a non-zero status, and no file.
TEST_F(CaptureTool, BadInputGivesOneLineANonZeroStatusAndNoFile)
{
    std::ofstream(root / "plain") << "x";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--frobnicate"}, 2, "unknown option '--frobnicate' (see --help)"},
        {{"--frames", "1..x"}, 2, "malformed frame range '1..x' (expected FIRST..LAST or N)"},
        {{"--frames", "9..4"}, 2, "empty frame range '9..4': FIRST is after LAST"},
        {{"--frames", "0..4"}, 2, "frame 0 in '0..4': frames are counted from 1"},
        {{"--frames", "-3..4"}, 2, "negative frame in '-3..4': frames are counted from 1"},
        {{"--frames", "1", "--out", (root / "plain" / "sub").string()},
         1,
         "cannot create output directory '" + (root / "plain" / "sub").string() +
             "': Not a directory"},
        {{"--frames", "1", "--out", "/proc"}, 1, "cannot write to output directory '/proc'"},
        {{"--frames", "1", "--y4m", (root / "missing" / "v.y4m").string()},
         1,
         "cannot create a file in '" + (root / "missing").string() +
             "': No such file or directory"},
        {{"--frames", "1..2", "--y4m", "/dev/full"}, 1,
         "cannot write '/dev/full': No space left on device"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) {
            shown += arg + " ";
        }
        ToolRun run = run_tool(work, c.args);
        EXPECT_EQ(run.status, c.status) << shown << run.errors;
        EXPECT_EQ(run.errors.rfind("quorvex-capture: " + c.message, 0), std::size_t{0})
            << shown << "gave: " << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << shown << run.errors;
        EXPECT_TRUE(names_in(work).empty()) << shown;
    }
    EXPECT_EQ(names_in(root), (std::vector<std::string>{"plain", "work"}));

    RunSetup full;
    full.stdout_path = "/dev/full";
    ToolRun run = run_tool(work, {"--frames", "1..2", "--y4m", "-"}, full);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "quorvex-capture: cannot write to standard output: No space left on device\n");
}

// A disk that fills up part way: the frames finished before stay complete, the
// one being written disappears, and the error says which file.
TEST_F(CaptureTool, FullDiskLeavesNoPartialFile)
{
    // Room for the stream header, not for a frame.
    RunSetup tiny;
    tiny.file_size_limit = 4096;
    ToolRun run = run_tool(work, {"--frames", "1..3", "--y4m", "clip.y4m"}, tiny);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "quorvex-capture: cannot write 'clip.y4m': File too large\n");
    EXPECT_TRUE(names_in(work).empty());

    // Frame 1 is plain white and compresses to less than the frames after it,
    // which hold the scene: a limit of its size lets it through and stops a
    // later one. (Were the frames all the same size, the first would fail.)
    ASSERT_EQ(run_tool(work, {"--frames", "1..3", "--out", "probe"}).status, 0);
    const auto first = fs::file_size(work / "probe" / "frame-000001.png");
    const auto largest = std::max({first, fs::file_size(work / "probe" / "frame-000002.png"),
                                   fs::file_size(work / "probe" / "frame-000003.png")});
    fs::remove_all(work / "probe");
    tiny.file_size_limit = first < largest ? first : first - 1;
    run = run_tool(work, {"--frames", "1..40", "--out", "f"}, tiny);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("': File too large\n"), std::string::npos) << run.errors;
    std::vector<std::string> left = names_in(work / "f");
    EXPECT_EQ(left.empty(), first == largest);
    for (const std::string& name : left) {
        EXPECT_EQ(name.rfind("frame-", 0), std::size_t{0}) << "temporary file left: " << name;
        EXPECT_EQ(decode_frame(work / "f" / name).size(), std::size_t{width * height * 3}) << name;
    }
}

}  // namespace
