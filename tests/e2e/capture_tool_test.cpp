// capture_tool_test.cpp -- quorvex-capture end to end: the files it writes and the errors it gives
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/y4m_writer.h"
#include "tests/unit/scratch_files.h"

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
    int stdout_fd = -1;                       // when set, standard output is this descriptor
    rlim_t file_size_limit = RLIM_INFINITY;   // bytes any one file may grow to
    rlim_t address_space_limit = RLIM_INFINITY;
    bool stderr_closed = false;     // started with standard error closed
    bool hangup_ignored = false;    // as under nohup
    bool as_nobody = false;         // as user and group 65534 (when run as root)
    std::string program = QUORVEX_CAPTURE_PATH;   // the tool's binary
    std::vector<std::string> environment;   // NAME=VALUE, added
};

fs::path errors_path_for(const fs::path& dir)
{
    return dir / ".." / (dir.filename().string() + ".stderr");
}

// Starts the tool in `dir` with `args`; standard output goes to setup.stdout_path.
pid_t start_tool(const fs::path& dir, const std::vector<std::string>& args, const RunSetup& setup = {})
{
    fs::path errors_path = errors_path_for(dir);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        int out = setup.stdout_fd >= 0 ? setup.stdout_fd
                                       : open(setup.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errors_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
            _exit(126);
        }
        if (setup.stderr_closed) {
            close(2);
        }
        // Past the limit a write fails with EFBIG, as on a full disk, once the
        // tool has set aside the signal that would otherwise kill it.
        rlimit limit{setup.file_size_limit, setup.file_size_limit};
        setrlimit(RLIMIT_FSIZE, &limit);
        limit = {setup.address_space_limit, setup.address_space_limit};
        setrlimit(RLIMIT_AS, &limit);
        signal(SIGHUP, setup.hangup_ignored ? SIG_IGN : SIG_DFL);
        for (const std::string& variable : setup.environment) {
            putenv(const_cast<char*>(variable.c_str()));
        }
        if (setup.as_nobody && getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 ||
                                                setuid(65534) != 0)) {
            _exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(setup.program.c_str())};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        dprintf(2, "cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    return child;
}

ToolRun collect(const fs::path& dir, int status)
{
    fs::path errors_path = errors_path_for(dir);
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, file_bytes(errors_path)};
    fs::remove(errors_path);
    return run;
}

// Runs the tool in `dir` with `args` to its end.
ToolRun run_tool(const fs::path& dir, const std::vector<std::string>& args, const RunSetup& setup = {})
{
    pid_t child = start_tool(dir, args, setup);
    int status = 0;
    waitpid(child, &status, 0);
    return collect(dir, status);
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
        root = fresh_dir(std::string("qv-capture-") + test->name());
        work = root / "work";
        fs::create_directories(work);
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
    // Not a terminal: no progress line, just the summary. Frame 1 is passed over:
    // frame 2 is drawn for the state frame 3 inherits.
    EXPECT_EQ(run.errors.rfind("quorvex-capture: 4 frames rendered in ", 0), std::size_t{0})
        << run.errors;
    EXPECT_TRUE(run.errors.ends_with(" fps), 3 written to shots/a\n")) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;

    // Quiet: nothing on standard error, the same files.
    run = run_tool(work, {"--frames", "3..5", "--out", "shots/b", "-q"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(names_in(work / "shots" / "b"), names_in(work / "shots" / "a"));
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

// Whether `program` is on the PATH.
bool on_path(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `command` with sh; returns what it wrote to standard output, and fails
// the test unless it exits with status 0.
std::string shell_output(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run: " << command;
        return output;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

// What ffprobe reports of a file's video stream, after decoding every frame
// (with `colours`, its colour tags too).
std::string probe(const fs::path& file, bool colours = false)
{
    return shell_output(std::string("ffprobe -v error -count_frames -select_streams v:0 -show_entries ") +
                        "stream=codec_name,width,height,r_frame_rate,nb_read_frames" +
                        (colours ? ",color_range,color_space,color_transfer,color_primaries" : "") +
                        " -of default=noprint_wrappers=1 '" + file.string() + "'");
}

// A Y4M stream goes through Debian's ffmpeg as it is: it probes as what was
// asked, encodes to H.264 with every frame (losslessly, so the planes come
// back bit for bit), and decoded to RGB the frames match the PNG frames of the
// same numbers up to what 4:2:0 loses. The README's and --help's one-liners
// for MP4 and WebM are run as written there, on a few frames.
TEST_F(CaptureTool, VideoToolsReadTheStreamAsWritten)
{
    if (!on_path("ffmpeg") || !on_path("ffprobe")) {
        GTEST_SKIP() << "SKIPPED: ffmpeg or ffprobe is not installed";
    }
    const std::string tool = std::string("'") + QUORVEX_CAPTURE_PATH + "'";
    const std::string dir = "'" + work.string() + "/";
    // Scene A's last frames, the cut to Scene B at 341, Scene B's first.
    constexpr int first = 334;
    constexpr int count = 12;
    const std::string frames = "--frames 334..345";

    ASSERT_EQ(run_tool(work, {"--frames", "334..345", "--y4m", "clip.y4m", "--fps", "30000/1001",
                              "-q"}).status, 0);
    const std::string expected =
        "width=800\nheight=600\nr_frame_rate=30000/1001\nnb_read_frames=12\n";
    EXPECT_EQ(probe(work / "clip.y4m"), "codec_name=rawvideo\n" + expected);

    shell_output(tool + " -q " + frames + " --fps 30000/1001 --y4m - | ffmpeg -v error -i - "
                 "-c:v libx264 -qp 0 " + dir + "lossless.mp4'");
    EXPECT_EQ(probe(work / "lossless.mp4"), "codec_name=h264\n" + expected);

    const std::string planes = shell_output("ffmpeg -v error -i " + dir +
                                            "lossless.mp4' -f rawvideo -pix_fmt yuv420p -");
    const std::string stream = file_bytes(work / "clip.y4m");
    const std::size_t header = stream.find('\n') + 1;
    const std::size_t frame_bytes = y4m_frame_size(width, height);
    ASSERT_EQ(planes.size(), count * frame_bytes);
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(planes.compare(i * frame_bytes, frame_bytes, stream,
                                   header + i * (6 + frame_bytes) + 6, frame_bytes) == 0)
            << "frame " << first + static_cast<int>(i) << " changed in the H.264 round trip";
    }

    // Decoded with exact rounding and full chroma interpolation, so the figures
    // measure the stream's colours, not a fast converter's shortcuts.
    const std::string rgb = shell_output(
        "ffmpeg -v error -i " + dir + "lossless.mp4' " +
        "-sws_flags bicubic+accurate_rnd+full_chroma_int -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(run_tool(work, {"--frames", "334..345", "--out", "png", "-q"}).status, 0);
    const std::size_t rgb_bytes = std::size_t{width} * height * 3;
    ASSERT_EQ(rgb.size(), count * rgb_bytes);
    // 4:2:0 keeps one colour for each 2x2 block. Where Scene B draws one-pixel
    // white lines over saturated colour that costs up to 5.6 levels a channel
    // on average over a frame (a flawless bilinear reconstruction does no
    // better); on Scene A it is 1.5 to 2.7. A wrong matrix or range, or the
    // neighbouring frame, differs by 8 to 20 levels in some channel.
    double all[3] = {0, 0, 0};
    double worst[3] = {0, 0, 0};
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", first + static_cast<int>(i));
        std::vector<std::uint8_t> png = decode_frame(work / "png" / name);
        ASSERT_EQ(png.size(), rgb_bytes);
        double sum[3] = {0, 0, 0};
        for (std::size_t k = 0; k < rgb_bytes; ++k) {
            const int decoded = static_cast<std::uint8_t>(rgb[i * rgb_bytes + k]);
            sum[k % 3] += std::abs(decoded - int{png[k]});
        }
        for (int c = 0; c < 3; ++c) {
            const double mean = sum[c] / (width * height);
            EXPECT_LT(mean, 6.5) << name << " channel " << c;
            all[c] += mean / count;
            worst[c] = std::max(worst[c], mean);
        }
    }
    std::printf("decoded H.264 against PNG, mean absolute difference over %d frames: "
                "R %.2f G %.2f B %.2f; worst frame R %.2f G %.2f B %.2f\n",
                count, all[0], all[1], all[2], worst[0], worst[1], worst[2]);

    // The one-liners, on ten frames: every colour tag comes back as given.
    const std::string tags =
        " -colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m -color_range tv ";
    const std::string tagged = "width=800\nheight=600\ncolor_range=tv\ncolor_space=smpte170m\n"
                               "color_transfer=smpte170m\ncolor_primaries=smpte170m\n"
                               "r_frame_rate=60/1\nnb_read_frames=10\n";
    shell_output(tool + " -q --frames 1..10 --y4m - | ffmpeg -v error -i - -c:v libx264 -crf 18" + tags +
                 dir + "quorvex.mp4'");
    EXPECT_EQ(probe(work / "quorvex.mp4", true), "codec_name=h264\n" + tagged);
    shell_output(tool + " -q --frames 1..10 --y4m - | ffmpeg -v error -i - -c:v libvpx-vp9 -crf 32 -b:v 0" +
                 tags + dir + "quorvex.webm'");
    EXPECT_EQ(probe(work / "quorvex.webm", true), "codec_name=vp9\n" + tagged);
    // --help shows the same tags (its lines wrap before -color_range).
    std::string help = shell_output(tool + " --help");
    std::erase(help, '\\');
    std::erase(help, '\n');
    for (std::size_t at; (at = help.find("  ")) != std::string::npos;) {
        help.erase(at, 1);
    }
    EXPECT_NE(help.find("-crf 18" + tags + "quorvex.mp4"), std::string::npos) << help;
    EXPECT_NE(help.find("-b:v 0" + tags + "quorvex.webm"), std::string::npos) << help;
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
    EXPECT_EQ(full.errors, "quorvex-capture: cannot write to standard output: No space left on device\n");
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
        {{"--frames", "1", "--out", "/proc"}, 1, "cannot write to output directory '/proc': No such file or directory"},
        {{"--frames", "1", "--y4m", (root / "missing" / "v.y4m").string()},
         1,
         "cannot create a file in '" + (root / "missing").string() +
             "': No such file or directory"},
        {{"--frames", "1..2", "--y4m", "/dev/full"}, 1,
         "cannot write '/dev/full': No space left on device"},
        // Quiet drops the progress line and the summary, never an error.
        {{"-q", "--frames", "1..2", "--y4m", "/dev/full"}, 1,
         "cannot write '/dev/full': No space left on device"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) {
            shown += arg + " ";
        }
        ToolRun run = run_tool(work, c.args);
        EXPECT_EQ(run.status, c.status) << shown << run.errors;
        EXPECT_EQ(run.errors, "quorvex-capture: " + c.message + "\n") << shown;
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

// How a capture sent a signal ended, and how long after the signal.
struct Ending {
    bool ended;   // false: still running at the deadline (then killed)
    int status;
    double seconds;
};

// The deadline for an interrupt is a second; twice that here, as the tests may
// share two cores with other work.
constexpr double interrupt_deadline = 2.0;

Ending interrupt(pid_t child, int signal_number)
{
    const auto sent = std::chrono::steady_clock::now();
    kill(child, signal_number);
    for (;;) {
        int status = 0;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        if (waitpid(child, &status, WNOHANG) == child) {
            return Ending{true, status, seconds};
        }
        if (seconds > 3 * interrupt_deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return Ending{false, status, seconds};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The tool died by `signal_number` within the deadline.
void expect_death_by(const Ending& ending, int signal_number, const std::string& state)
{
    ASSERT_TRUE(ending.ended) << state << ": still running " << ending.seconds << " s after the signal";
    EXPECT_TRUE(WIFSIGNALED(ending.status) && WTERMSIG(ending.status) == signal_number)
        << state << ": status " << ending.status;
    EXPECT_LT(ending.seconds, interrupt_deadline) << state;
    std::printf("%s: ended by signal %d %.0f ms after it\n", state.c_str(), signal_number,
                ending.seconds * 1000);
}

// Bytes waiting in the pipe whose read end is `fd`.
int queued_bytes(int fd)
{
    int bytes = 0;
    ioctl(fd, FIONREAD, &bytes);
    return bytes;
}

// Waits up to 30 s for `count` frames in place in `dir`.
void wait_for_frames(const fs::path& dir, std::size_t count)
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < give_up) {
        std::error_code ignored;
        if (!fs::is_directory(dir, ignored)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const std::vector<std::string> names = names_in(dir);
        if (std::count_if(names.begin(), names.end(),
                          [](const std::string& name) { return name.rfind("frame-", 0) == 0; }) >=
            static_cast<std::ptrdiff_t>(count)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "no " << count << " frames in " << dir;
}

// What an interrupted PNG capture leaves: complete frames only.
void expect_only_complete_frames(const fs::path& dir)
{
    for (const std::string& name : names_in(dir)) {
        ASSERT_EQ(name.rfind("frame-", 0), std::size_t{0}) << "temporary file left: " << name;
        EXPECT_EQ(decode_frame(dir / name).size(), std::size_t{width * height * 3}) << name;
    }
}

// What an interrupted capture of frames 1.. leaves in `dir`: frames 1..N
// without gaps, and a message that names N.
void expect_first_frames_named(const fs::path& dir, const std::string& errors)
{
    expect_only_complete_frames(dir);
    const std::vector<std::string> names = names_in(dir);
    for (std::size_t i = 0; i < names.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06zu.png", i + 1);
        ASSERT_EQ(names[i], name) << "a gap before " << names[i];
    }
    const std::string named = names.empty() ? "interrupted before any frame was written"
                                            : "interrupted after frame " + std::to_string(names.size()) +
                                                  " was written";
    EXPECT_NE(errors.find("quorvex-capture: " + named + "; nothing half-written is left\n"),
              std::string::npos) << errors;
}

// What a stream interrupted in a pipe's writing says: the last whole frame
// the reader got, and the frame cut short when the reader got a part of one.
void expect_stream_ending_named(const std::string& received, const std::string& errors)
{
    const std::size_t header = received.find('\n') + 1;
    const std::size_t frame_bytes = 6 + y4m_frame_size(width, height);
    const std::size_t whole = (received.size() - header) / frame_bytes;
    const bool cut = (received.size() - header) % frame_bytes != 0;
    std::string named = whole == 0 ? "interrupted after the stream header was written"
                                   : "interrupted after frame " + std::to_string(whole) + " was written";
    named += cut ? "; frame " + std::to_string(whole + 1) + " was cut short" : "; the stream ends there";
    EXPECT_NE(errors.find("quorvex-capture: " + named + "\n"), std::string::npos)
        << errors << "(the reader got " << received.size() << " bytes)";
}

// SIGINT, SIGTERM and SIGHUP end a capture within a second whatever it is
// waiting for, remove what was half-written, and end it by that signal.
TEST_F(CaptureTool, InterruptsEndACaptureInEveryStateByTheSameSignal)
{
    // A FIFO nobody opens: opening it for writing would wait for ever.
    ASSERT_EQ(mkfifo((work / "fifo").c_str(), 0644), 0);
    pid_t child = start_tool(work, {"--frames", "1..50", "--y4m", "fifo"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    expect_death_by(interrupt(child, SIGINT), SIGINT, "a FIFO nobody opens");
    EXPECT_EQ(names_in(work), (std::vector<std::string>{"fifo"}));
    fs::remove(work / "fifo");
    collect(work, 0);

    // A pipe whose reader has stopped reading: once it is full the writer is
    // blocked; a second later every buffer holds a frame and the renderer
    // waits for one.
    for (const auto& [signal_number, state] :
         {std::pair{SIGINT, "the writer blocked on a full pipe"},
          std::pair{SIGTERM, "the renderer waiting for a free buffer"}}) {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        RunSetup into_pipe;
        into_pipe.stdout_fd = ends[1];
        child = start_tool(work, {"--frames", "1..2000", "--y4m", "-"}, into_pipe);
        close(ends[1]);
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (queued_bytes(ends[0]) < 60000 && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (signal_number == SIGTERM) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        }
        expect_death_by(interrupt(child, signal_number), signal_number, state);
        std::string received;
        char buffer[65536];
        for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) {
            received.append(buffer, static_cast<std::size_t>(got));
        }
        close(ends[0]);
        expect_stream_ending_named(received, collect(work, 0).errors);
    }

    // PNG frames, the writer at work: a hang-up.
    child = start_tool(work, {"--frames", "1..2000", "--out", "hup"});
    wait_for_frames(work / "hup", 3);
    expect_death_by(interrupt(child, SIGHUP), SIGHUP, "PNG frames being written");
    expect_first_frames_named(work / "hup", collect(work, 0).errors);
}

// Beside programs that keep every core busy the GL driver's low-priority
// shader-cache thread gets little time, yet the process must end (every thread
// of it) and leave the first frames in place.
TEST_F(CaptureTool, AnInterruptBesideBusyCoresEndsEveryThread)
{
    std::vector<pid_t> busy;
    for (long core = 0; core < 2 * std::max(sysconf(_SC_NPROCESSORS_ONLN), 1L); ++core) {
        pid_t spinner = fork();
        if (spinner == 0) {
            volatile unsigned long spin = 0;
            for (;;) {
                spin = spin + 1;
            }
        }
        busy.push_back(spinner);
    }
    pid_t child = start_tool(work, {"--frames", "1..2000", "--out", "busy"});
    wait_for_frames(work / "busy", 2);
    Ending ending = interrupt(child, SIGINT);
    for (pid_t spinner : busy) {
        kill(spinner, SIGKILL);
        waitpid(spinner, nullptr, 0);
    }
    expect_death_by(ending, SIGINT, "beside busy cores");
    expect_first_frames_named(work / "busy", collect(work, 0).errors);
}

// Under nohup (or in a script's background job) a signal is ignored from the
// start, and stays ignored.
TEST_F(CaptureTool, AnInheritedIgnoredHangupStaysIgnored)
{
    RunSetup nohup;
    nohup.hangup_ignored = true;
    pid_t child = start_tool(work, {"--frames", "1..40", "--out", "f"}, nohup);
    wait_for_frames(work / "f", 1);
    kill(child, SIGHUP);
    int status = 0;
    waitpid(child, &status, 0);
    ToolRun run = collect(work, status);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(names_in(work / "f").size(), std::size_t{40});
}

// A symbolic link stays a link and its target is written; an existing file
// keeps its mode, owner and other names; the process's own descriptors and
// FIFOs are written in place; a name as long as the system allows works; and a
// folder that takes no new file still lets its writable file be written.
TEST_F(CaptureTool, OutputsThatAreNotPlainFilesAreWrittenWhereTheyLead)
{
    const std::string header = "YUV4MPEG2 W800 H600 F60:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n";
    const std::size_t stream_size = header.size() + 6 + y4m_frame_size(width, height);
    auto is_stream = [&](const fs::path& path) {
        std::string bytes = file_bytes(path);
        return bytes.size() == stream_size && bytes.rfind(header, 0) == 0;
    };
    const bool super_user = getuid() == 0;

    fs::create_directories(work / "target");
    fs::create_symlink("target/clip.y4m", work / "link.y4m");
    std::ofstream(work / "private.y4m") << "old";
    chmod((work / "private.y4m").c_str(), 0600);
    if (super_user) {
        ASSERT_EQ(chown((work / "private.y4m").c_str(), 65534, 65534), 0);
    }
    std::ofstream(work / "linked.y4m") << "old";
    fs::create_hard_link(work / "linked.y4m", work / "other-name.y4m");
    const std::string long_name = std::string(251, 'n') + ".y4m";
    for (const std::string& name : {std::string("link.y4m"), std::string("private.y4m"),
                                    std::string("linked.y4m"), long_name}) {
        ToolRun run = run_tool(work, {"--frames", "1", "--y4m", name});
        EXPECT_EQ(run.status, 0) << name << ": " << run.errors;
    }
    EXPECT_TRUE(fs::is_symlink(work / "link.y4m"));
    EXPECT_TRUE(is_stream(work / "target" / "clip.y4m"));
    struct stat info {};
    ASSERT_EQ(stat((work / "private.y4m").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (super_user) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
    EXPECT_TRUE(is_stream(work / "private.y4m"));
    EXPECT_TRUE(is_stream(work / "other-name.y4m")) << "the hard link was broken";
    EXPECT_TRUE(is_stream(work / long_name));
    EXPECT_EQ(names_in(work), (std::vector<std::string>{"link.y4m", "linked.y4m", long_name,
                                                        "other-name.y4m", "private.y4m", "target"}));

    // The process's own standard output, by the names /proc and /dev give it.
    for (const std::string& name : {std::string("/proc/self/fd/1"), std::string("/dev/fd/1")}) {
        RunSetup to_file;
        to_file.stdout_path = (root / "out.y4m").string();
        ToolRun run = run_tool(work, {"--frames", "1", "--y4m", name}, to_file);
        EXPECT_EQ(run.status, 0) << name << ": " << run.errors;
        EXPECT_TRUE(is_stream(root / "out.y4m")) << name;
    }

    // Standard error carrying the stream: the summary stays out of it.
    ToolRun into_errors = run_tool(work, {"--frames", "1", "--y4m", "/dev/stderr"});
    EXPECT_EQ(into_errors.status, 0);
    EXPECT_EQ(into_errors.errors.size(), stream_size);
    EXPECT_EQ(into_errors.errors.rfind(header, 0), std::size_t{0});

    // A FIFO with a reader gets the stream itself.
    ASSERT_EQ(mkfifo((work / "fifo").c_str(), 0644), 0);
    std::string received;
    std::thread reader([&] { received = file_bytes(work / "fifo"); });
    ToolRun run = run_tool(work, {"--frames", "1", "--y4m", "fifo"});
    reader.join();
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(received.size(), stream_size);
    EXPECT_TRUE(fs::is_fifo(work / "fifo"));

    // A folder nobody but its owner may add to, holding a file anyone may write.
    fs::create_directories(root / "shut");
    std::ofstream(root / "shut" / "open.y4m") << "old";
    chmod((root / "shut" / "open.y4m").c_str(), 0666);
    std::ofstream(root / "shut" / "frame-000001.png") << "old";
    chmod((root / "shut" / "frame-000001.png").c_str(), 0666);
    chmod((root / "shut").c_str(), 0555);
    chmod(root.c_str(), 0755);
    // The build tree may sit in a home only its owner can enter: the stranger
    // runs a copy from a folder anyone can.
    RunSetup stranger;
    stranger.as_nobody = true;
    stranger.program = (root / "quorvex-capture").string();
    fs::copy_file(QUORVEX_CAPTURE_PATH, stranger.program);
    fs::permissions(stranger.program, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                                          fs::perms::group_read | fs::perms::others_read);
    run = run_tool(work, {"--frames", "1", "--y4m", (root / "shut" / "open.y4m").string()}, stranger);
    ToolRun png = run_tool(work, {"--frames", "1", "--out", (root / "shut").string()}, stranger);
    chmod((root / "shut").c_str(), 0755);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(is_stream(root / "shut" / "open.y4m"));
    EXPECT_EQ(png.status, 0) << png.errors;
    EXPECT_EQ(decode_frame(root / "shut" / "frame-000001.png").size(), std::size_t{width * height * 3});
    EXPECT_EQ(names_in(root / "shut"), (std::vector<std::string>{"frame-000001.png", "open.y4m"}));
}

// Started with standard error closed: whatever prints to stderr (here the
// dynamic loader, binding each symbol on first use) must not land in the file
// that would otherwise get descriptor 2.
TEST_F(CaptureTool, ClosedStandardErrorKeepsWhatLibrariesPrintOutOfTheVideo)
{
    RunSetup closed;
    closed.stderr_closed = true;
    closed.environment = {"LD_DEBUG=bindings"};
    ToolRun run = run_tool(work, {"--frames", "1..2", "--y4m", "clip.y4m"}, closed);
    EXPECT_EQ(run.status, 0);
    std::string stream = file_bytes(work / "clip.y4m");
    EXPECT_EQ(stream.rfind("YUV4MPEG2 W800 H600 ", 0), std::size_t{0}) << stream.substr(0, 120);
    const std::size_t header_size = stream.find('\n') + 1;
    EXPECT_EQ(stream.size(), header_size + 2 * (6 + y4m_frame_size(width, height)));
}

// An address-space limit makes something fail (the GL driver, a buffer, the
// writer thread) at one point or another: whichever, the tool says so on one
// line and exits with 1, leaving complete frames only. Mesa's software driver
// itself crashes (SIGSEGV) under some limits while drawing; that is counted,
// not blamed on the tool. An uncaught exception would abort (SIGABRT) instead.
TEST_F(CaptureTool, AnAddressSpaceLimitGivesOneLineAndLeavesNothing)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; the plain build runs this";
#else
    int reported = 0;
    int driver_crashes = 0;
    for (rlim_t megabytes = 100; megabytes <= 1000; megabytes += 50) {
        RunSetup limited;
        limited.address_space_limit = megabytes << 20;
        const std::string dir = "as" + std::to_string(megabytes);
        pid_t child = start_tool(work, {"--frames", "1..3", "--out", dir}, limited);
        int status = 0;
        waitpid(child, &status, 0);
        ToolRun run = collect(work, status);
        const std::string shown = std::to_string(megabytes) + " MB: " + run.errors;
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) {
            ++driver_crashes;
        } else if (run.status != 0) {
            ++reported;
            EXPECT_EQ(run.status, 1) << shown;
            EXPECT_EQ(run.errors.rfind("quorvex-capture: ", 0), std::size_t{0}) << shown;
            EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << shown;
        }
        std::error_code missing;
        if (fs::is_directory(work / dir, missing)) {
            if (run.status == 0) {
                EXPECT_EQ(names_in(work / dir).size(), std::size_t{3}) << shown;
            }
            expect_only_complete_frames(work / dir);
            fs::remove_all(work / dir);
        }
    }
    std::printf("%d limits reported on one line, %d crashed inside the GL driver\n", reported,
                driver_crashes);
    EXPECT_GT(reported, 0) << "no limit was tight enough to fail";
#endif
}

// No GL driver: one line that names the tool, what failed and why; none of the
// demo's boxes; nothing created.
TEST_F(CaptureTool, NoGlDriverIsOneLineAndCreatesNothing)
{
    RunSetup no_driver;
    // The failed driver load leaves allocations behind in a library already
    // unloaded at exit, which leak checking would blame on the tool.
    no_driver.environment = {"GALLIUM_DRIVER=bogus", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"};
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--frames", "1..3", "--out", "shots"},
          std::vector<std::string>{"--frames", "1..3", "--y4m", "clip.y4m"}}) {
        ToolRun run = run_tool(work, args, no_driver);
        EXPECT_EQ(run.status, 1);
        const std::string start = "quorvex-capture: cannot create an OpenGL context: ";
        EXPECT_EQ(run.errors.rfind(start, 0), std::size_t{0}) << run.errors;
        EXPECT_GT(run.errors.size(), start.size() + 1) << "no reason given";
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_TRUE(names_in(work).empty());
    }
}

}  // namespace
