// capture_args.cpp -- parses quorvex-capture's command line
#include "capture/capture_args.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <numeric>

static const char usage_text[] =
    "Usage: quorvex-capture [--frames LIST] [--out DIR] [--best] [--no-seek] [-q]\n"
    "       quorvex-capture [--frames LIST] --y4m FILE [--fps RATE] [--no-seek] [-q]\n"
    "       quorvex-capture [--frames LIST] --null [--no-seek] [-q]\n"
    "Renders frames of the Quorvex demo headless, exactly as the demo shows them,\n"
    "and writes them as PNG images or as one YUV4MPEG2 video stream.\n"
    "\n"
    "  --frames LIST  frames to write, counted from 1: FIRST..LAST, a single N, or\n"
    "                 several of these separated by commas (default 1..682, one\n"
    "                 whole cycle of both scenes; the highest frame is 999999)\n"
    "  --out DIR      write DIR/frame-NNNNNN.png, 800x600 RGB (default\n"
    "                 ./quorvex-frames; created if missing)\n"
    "  --y4m FILE     write a YUV4MPEG2 stream instead, 4:2:0 with JPEG chroma\n"
    "                 siting (C420jpeg), BT.601 limited range; '-' is standard\n"
    "                 output\n"
    "  --fps RATE     frame rate in the stream header, N or N/D frames a second:\n"
    "                 25, 60, 30000/1001 (default 60)\n"
    "  --best         compress the PNG files as far as possible (slower)\n"
    "  --null         render the frames but read back and write nothing, to\n"
    "                 time the rendering alone\n"
    "  --no-seek      draw every frame from frame 1 on; by default only the frames\n"
    "                 written and the one before each are drawn, the others just\n"
    "                 move the animation on (the same pictures, sooner)\n"
    "  -q, --quiet    show no progress line and no summary; errors are still shown\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Files appear only when complete: each is written under a temporary name and\n"
    "renamed, through symbolic links, keeping an existing file's mode; devices,\n"
    "FIFOs and descriptors such as /dev/stdout are written in place. On any error\n"
    "the tool says why on one line and exits with status 1 (2 for a bad command\n"
    "line), leaving nothing half-written. SIGINT, SIGTERM and SIGHUP stop it\n"
    "within a second, remove what was half-written, name the last frame written\n"
    "(PNG frames appear in order, so they are the first ones without gaps), and\n"
    "end it by that same signal (a shell shows status 130, 143 or 129); a signal\n"
    "ignored when it started (under nohup, say) stays ignored.\n"
    "\n"
    "Video files with ffmpeg, H.264 in MP4 and VP9 in WebM (the colour tags say\n"
    "what the stream holds, so players convert it back as it was made):\n"
    "  quorvex-capture --y4m - | ffmpeg -i - -c:v libx264 -crf 18 \\\n"
    "      -colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m \\\n"
    "      -color_range tv quorvex.mp4\n"
    "  quorvex-capture --y4m - | ffmpeg -i - -c:v libvpx-vp9 -crf 32 -b:v 0 \\\n"
    "      -colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m \\\n"
    "      -color_range tv quorvex.webm\n";

const char* capture_usage()
{
    return usage_text;
}

// `text` for a one-line message: control characters (a newline, say) show as '?'.
static std::string quoted(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return text;
}

static bool all_digits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A frame number: decimal digits only, 1 to max_frame_number. Any run of
// digits is a number, however long: past the limit it is out of range, not
// malformed.
static bool parse_frame_number(const std::string& text, const std::string& item,
                               std::int32_t* frame, std::string* error)
{
    if (text.size() > 1 && text[0] == '-' && text[1] >= '0' && text[1] <= '9') {
        *error = "negative frame in '" + quoted(item) + "': frames are counted from 1";
        return false;
    }
    if (!all_digits(text)) {
        *error = "malformed frame range '" + quoted(item) + "' (expected FIRST..LAST or N)";
        return false;
    }
    std::int32_t value = 0;
    const bool too_big = std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc();
    if (value == 0 && !too_big) {
        *error = "frame 0 in '" + quoted(item) + "': frames are counted from 1";
        return false;
    }
    if (too_big || value > max_frame_number) {
        *error = "frame " + text + " is beyond the last frame supported, ";
        error->append(std::to_string(max_frame_number));
        return false;
    }
    *frame = value;
    return true;
}

// Comma-separated ranges FIRST..LAST or single frames N, returned sorted and
// merged.
static bool parse_frame_list(const std::string& text, std::vector<FrameRange>* ranges, std::string* error)
{
    std::vector<FrameRange> parsed;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        // A single frame N is the range N..N.
        const std::size_t dots = item.find("..");
        FrameRange range{};
        if (item.empty()) {
            *error = "malformed frame list '" + quoted(text) + "' (expected FIRST..LAST or N)";
            return false;
        }
        if (!parse_frame_number(item.substr(0, dots), item, &range.first, error) ||
            !parse_frame_number(dots == std::string::npos ? item : item.substr(dots + 2), item, &range.last,
                                error)) {
            return false;
        }
        if (range.last < range.first) {
            *error = "empty frame range '" + quoted(item) + "': FIRST is after LAST";
            return false;
        }
        parsed.push_back(range);
        start = comma + 1;
    }

    std::sort(parsed.begin(), parsed.end(),
              [](const FrameRange& a, const FrameRange& b) { return a.first < b.first; });
    std::vector<FrameRange> merged;
    for (const FrameRange& range : parsed) {
        if (!merged.empty() && range.first <= merged.back().last + 1) {
            merged.back().last = std::max(merged.back().last, range.last);
        } else {
            merged.push_back(range);
        }
    }
    *ranges = merged;
    return true;
}

// One term of a frame rate: decimal digits only, 1 to a million.
static bool parse_rate_term(const std::string& text, std::int32_t* term)
{
    return all_digits(text) && std::from_chars(text.data(), text.data() + text.size(), *term).ec == std::errc() &&
           *term >= 1 && *term <= 1000000;
}

// N or N/D, at most 1000 frames a second, returned in lowest terms.
static bool parse_frame_rate(const std::string& text, FrameRate* rate, std::string* error)
{
    std::size_t slash = text.find('/');
    FrameRate parsed{0, 1};
    bool ok = parse_rate_term(text.substr(0, slash), &parsed.numerator) &&
              (slash == std::string::npos ||
               parse_rate_term(text.substr(slash + 1), &parsed.denominator));
    // In 64 bits: both terms may be up to a million.
    if (!ok || std::int64_t{parsed.numerator} > std::int64_t{1000} * parsed.denominator) {
        *error = "invalid frame rate '" + quoted(text) +
                 "' (expected N or N/D, whole numbers, at most 1000 frames a second)";
        return false;
    }
    std::int32_t common = std::gcd(parsed.numerator, parsed.denominator);
    *rate = FrameRate{parsed.numerator / common, parsed.denominator / common};
    return true;
}

// The long options; the short ones are -h and -q.
enum OptionId : int {
    option_frames = 256, option_out, option_y4m, option_fps, option_best, option_null,
    option_no_seek, option_version,
};

static const option long_options[] = {
    {"frames", required_argument, nullptr, option_frames},
    {"out", required_argument, nullptr, option_out},
    {"y4m", required_argument, nullptr, option_y4m},
    {"fps", required_argument, nullptr, option_fps},
    {"best", no_argument, nullptr, option_best},
    {"null", no_argument, nullptr, option_null},
    {"no-seek", no_argument, nullptr, option_no_seek},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, option_version},
    {nullptr, 0, nullptr, 0},
};

// Why getopt_long refused `arg` (returning `id`): a value missing (':'), a
// value given to a long option that takes none (glibc then leaves its id in
// optopt), or an option unknown (optopt 0, or the letter of a refused "-x").
static std::string refusal(const std::string& arg, int id)
{
    const bool long_option = arg.rfind("--", 0) == 0;
    const std::string name =
        quoted(long_option ? arg.substr(0, arg.find('=')) : std::string("-") + static_cast<char>(optopt));
    const char* why = id == ':' ? "needs a value" : long_option && optopt != 0 ? "takes no value" : nullptr;
    return why ? "option '" + name + "' " + why + " (see --help)" : "unknown option '" + name + "' (see --help)";
}

ArgsResult parse_capture_args(int argc, const char* const* argv, CaptureOptions* options,
                              std::string* error)
{
    CaptureOptions parsed = *options;
    bool out_given = false;
    bool fps_given = false;
    bool y4m_given = false;
    bool null_given = false;

    // "+": options end at the first argument that is not one, which is then
    // refused; ":": a missing value is told apart from an unknown option.
    // getopt_long keeps its place in globals, and 0 starts it afresh.
    optind = 0;
    opterr = 0;
    char* const* args = const_cast<char* const*>(argv);
    for (int id; (id = getopt_long(argc, args, "+:hq", long_options, nullptr)) != -1;) {
        const std::string value = optarg ? optarg : "";
        switch (id) {
        case 'h':
            return args_help;
        case option_version:
            return args_version;
        case 'q':
            parsed.quiet = true;
            break;
        case option_best:
            parsed.best = true;
            break;
        case option_null:
            null_given = true;
            break;
        case option_no_seek:
            parsed.seek = false;
            break;
        case option_frames:
            if (!parse_frame_list(value, &parsed.frames, error)) {
                return args_error;
            }
            break;
        case option_out:
            if (value.empty()) {
                *error = "empty output directory name";
                return args_error;
            }
            parsed.out_dir = value;
            out_given = true;
            break;
        case option_y4m:
            if (value.empty()) {
                *error = "empty video file name (use '-' for standard output)";
                return args_error;
            }
            parsed.y4m_path = value;
            y4m_given = true;
            break;
        case option_fps:
            if (!parse_frame_rate(value, &parsed.fps, error)) {
                return args_error;
            }
            fps_given = true;
            break;
        default:
            *error = refusal(argv[optind - 1], id);
            return args_error;
        }
    }
    if (optind < argc) {
        *error = "unexpected argument '" + quoted(argv[optind]) + "' (see --help)";
        return args_error;
    }

    const struct {
        bool clash;
        const char* message;
    } clashes[] = {
        {y4m_given && out_given, "--out and --y4m cannot be used together"},
        {null_given && (y4m_given || out_given), "--null cannot be used with --out or --y4m"},
        {parsed.best && (y4m_given || null_given), "--best applies only to PNG files"},
        {fps_given && !y4m_given, "--fps applies only to --y4m"},
    };
    for (const auto& clash : clashes) {
        if (clash.clash) {
            *error = clash.message;
            return args_error;
        }
    }
    if (parsed.frames.empty()) {
        parsed.frames.push_back(FrameRange{1, capture_cycle_frames});
    }
    parsed.output = null_given  ? capture_output_none
                    : y4m_given ? capture_output_y4m
                                : capture_output_png;
    *options = parsed;
    return args_run;
}
