// capture_args_test.cpp -- quorvex-capture's command line, parsed alone
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "capture/capture_args.h"

namespace {

struct Parsed {
    ArgsResult result;
    CaptureOptions options;
    std::string error;
};

Parsed parse(std::initializer_list<const char*> args)
{
    std::vector<const char*> argv{"quorvex-capture"};
    argv.insert(argv.end(), args.begin(), args.end());
    Parsed parsed{args_error, CaptureOptions{}, ""};
    parsed.result = parse_capture_args(static_cast<int>(argv.size()), argv.data(), &parsed.options,
                                       &parsed.error);
    return parsed;
}

std::vector<std::pair<int, int>> ranges_of(const CaptureOptions& options)
{
    std::vector<std::pair<int, int>> ranges;
    for (const FrameRange& range : options.frames) {
        ranges.emplace_back(range.first, range.last);
    }
    return ranges;
}

using Ranges = std::vector<std::pair<int, int>>;

TEST(CaptureArgs, DefaultsAreOneWholeCycleOfPngsIntoQuorvexFrames)
{
    Parsed parsed = parse({});
    ASSERT_EQ(parsed.result, args_run);
    EXPECT_EQ(ranges_of(parsed.options), (Ranges{{1, 682}}));
    EXPECT_EQ(parsed.options.output, capture_output_png);
    EXPECT_EQ(parsed.options.out_dir, "quorvex-frames");
    EXPECT_EQ(parsed.options.fps.numerator, 60);
    EXPECT_EQ(parsed.options.fps.denominator, 1);
    EXPECT_TRUE(parsed.options.seek);
    EXPECT_FALSE(parsed.options.quiet);
}

TEST(CaptureArgs, FramesTakeRangesSingleFramesAndListsInEitherSpelling)
{
    EXPECT_EQ(ranges_of(parse({"--frames", "5..9"}).options), (Ranges{{5, 9}}));
    EXPECT_EQ(ranges_of(parse({"--frames=200"}).options), (Ranges{{200, 200}}));
    EXPECT_EQ(ranges_of(parse({"--frames", "682,200,500"}).options),
              (Ranges{{200, 200}, {500, 500}, {682, 682}}));
    // Overlapping and touching ranges merge; the list comes out sorted.
    EXPECT_EQ(ranges_of(parse({"--frames", "10..20,1..3,15..30,4,31"}).options),
              (Ranges{{1, 4}, {10, 31}}));
    EXPECT_EQ(ranges_of(parse({"--frames", "999999"}).options), (Ranges{{999999, 999999}}));
    // A later --frames replaces an earlier one.
    EXPECT_EQ(ranges_of(parse({"--frames", "1..2", "--frames", "7"}).options), (Ranges{{7, 7}}));
}

TEST(CaptureArgs, OutputsAndRate)
{
    Parsed out = parse({"--out", "docs", "--frames", "3"});
    ASSERT_EQ(out.result, args_run);
    EXPECT_EQ(out.options.output, capture_output_png);
    EXPECT_EQ(out.options.out_dir, "docs");

    Parsed y4m = parse({"--y4m=-", "--fps", "30"});
    ASSERT_EQ(y4m.result, args_run);
    EXPECT_EQ(y4m.options.output, capture_output_y4m);
    EXPECT_EQ(y4m.options.y4m_path, "-");
    EXPECT_EQ(y4m.options.fps.numerator, 30);
    EXPECT_EQ(y4m.options.fps.denominator, 1);

    // A ratio, as NTSC rates need; kept in lowest terms, as the stream header wants it.
    for (auto [text, numerator, denominator] :
         {std::tuple{"30000/1001", 30000, 1001}, {"24000/1001", 24000, 1001}, {"50/2", 25, 1},
          {"1000000/1000", 1000, 1}, {"1/1000000", 1, 1000000}, {"1000", 1000, 1}}) {
        Parsed rate = parse({"--y4m=-", "--fps", text});
        ASSERT_EQ(rate.result, args_run) << text << ": " << rate.error;
        EXPECT_EQ(rate.options.fps.numerator, numerator) << text;
        EXPECT_EQ(rate.options.fps.denominator, denominator) << text;
    }

    EXPECT_EQ(parse({"--null"}).options.output, capture_output_none);
    EXPECT_FALSE(parse({"--null", "--no-seek"}).options.seek);
    EXPECT_TRUE(parse({"-q"}).options.quiet);
    EXPECT_TRUE(parse({"--quiet", "--y4m", "-"}).options.quiet);
    EXPECT_FALSE(out.options.best);
    EXPECT_TRUE(parse({"--best", "--out", "docs"}).options.best);
}

TEST(CaptureArgs, HelpAndVersionWinOverEverythingBeforeThem)
{
    EXPECT_EQ(parse({"--help"}).result, args_help);
    EXPECT_EQ(parse({"-h"}).result, args_help);
    EXPECT_EQ(parse({"--frames", "1..2", "--version"}).result, args_version);
}

// The usage lines say what the manual's SYNOPSIS says, word for word.
TEST(CaptureArgs, UsageLinesAreTheManualsSynopsis)
{
    std::ifstream manual(QUORVEX_MANUAL_PATH);
    std::string line;
    std::string synopsis;
    bool inside = false;
    // Each macro line's words run together (.RB alternates fonts without a
    // space), lines are joined by spaces, and .br starts the next form.
    while (std::getline(manual, line)) {
        if (line.rfind(".SH", 0) == 0) {
            inside = line == ".SH SYNOPSIS";
            continue;
        }
        if (!inside) {
            continue;
        }
        if (line == ".br") {
            synopsis += "\n";
            continue;
        }
        std::string words;
        for (std::size_t at = line.find(' ') + 1; at < line.size(); ++at) {
            if (line[at] != ' ' && line[at] != '\\') {
                words += line[at];
            }
        }
        if (!synopsis.empty() && synopsis.back() != '\n') {
            synopsis += ' ';
        }
        synopsis += words;
    }
    std::string usage = capture_usage();
    usage = usage.substr(0, usage.find("\nRenders"));
    std::string forms;
    for (std::size_t at = 0; at <= usage.size();) {
        std::size_t end = std::min(usage.find('\n', at), usage.size());
        std::string form = usage.substr(at, end - at);
        form = form.substr(form.find("quorvex-capture"));
        forms += (forms.empty() ? "" : "\n") + form;
        at = end + 1;
    }
    ASSERT_FALSE(synopsis.empty()) << "no SYNOPSIS in " << QUORVEX_MANUAL_PATH;
    EXPECT_EQ(forms, synopsis);
}

// Each bad command line is refused with a message naming what is wrong, and
// leaves the options as they were.
TEST(CaptureArgs, BadInputIsRefusedWithItsReason)
{
    struct Case {
        std::vector<const char*> args;
        const char* message_part;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--frames=5", "stray"}, "unexpected argument 'stray'"},
        {{"--frames"}, "needs a value"},
        {{"--frames", ""}, "malformed"},
        {{"--frames", "1.."}, "malformed"},
        {{"--frames", "..5"}, "malformed"},
        {{"--frames", "1...5"}, "malformed"},
        {{"--frames", "1..2..3"}, "malformed"},
        {{"--frames", "a..b"}, "malformed"},
        {{"--frames", "1,,2"}, "malformed"},
        {{"--frames", "3,"}, "malformed"},
        {{"--frames", "+3"}, "malformed"},
        {{"--frames", "1e3"}, "malformed"},
        {{"--frames", "5..3"}, "empty frame range '5..3'"},
        {{"--frames", "0..3"}, "frame 0"},
        {{"--frames", "0"}, "frame 0"},
        {{"--frames", "-1..3"}, "negative frame"},
        {{"--frames", "2..-1"}, "negative frame"},
        {{"--frames", "1000000"}, "beyond the last frame"},
        // Past the limit, however many digits: one message, not "malformed".
        {{"--frames", "99999999999999999999"}, "frame 99999999999999999999 is beyond the last frame supported, 999999"},
        {{"--frames", "1..2147483647"}, "frame 2147483647 is beyond the last frame supported, 999999"},
        {{"--frames", "1000000000"}, "frame 1000000000 is beyond the last frame supported, 999999"},
        {{"--help=yes"}, "option '--help' takes no value"},
        {{"--best=1"}, "option '--best' takes no value"},
        {{"--no-seek=1"}, "option '--no-seek' takes no value"},
        {{"--quiet=1"}, "option '--quiet' takes no value"},
        {{"--frames", "--"}, "malformed frame range '--'"},
        {{"--frames", "1\n2"}, "malformed frame range '1?2'"},
        {{"--out", ""}, "empty output directory"},
        {{"--y4m", ""}, "empty video file name"},
        {{"--out", "d", "--y4m", "v.y4m"}, "cannot be used together"},
        {{"--null", "--out", "d"}, "--null cannot be used"},
        {{"--fps", "30"}, "--fps applies only to --y4m"},
        {{"--best", "--y4m", "-"}, "--best applies only to PNG files"},
        {{"--y4m", "v.y4m", "--fps", "0"}, "invalid frame rate '0'"},
        {{"--y4m", "v.y4m", "--fps", "29.97"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "-5"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "30000/0"}, "invalid frame rate '30000/0'"},
        {{"--y4m", "v.y4m", "--fps", "0/1"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "1001/1"}, "at most 1000 frames a second"},
        {{"--y4m", "v.y4m", "--fps", "1000001/1001"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "30/"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "/2"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "30/1/1"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "30:1"}, "invalid frame rate"},
        {{"--y4m", "v.y4m", "--fps", "30/ 1"}, "invalid frame rate"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"quorvex-capture"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        CaptureOptions options;
        options.out_dir = "untouched";
        std::string error;
        std::string shown = argv.size() > 1 ? argv[1] : "";
        for (std::size_t i = 2; i < argv.size(); ++i) {
            shown += std::string(" ") + argv[i];
        }
        EXPECT_EQ(parse_capture_args(static_cast<int>(argv.size()), argv.data(), &options, &error),
                  args_error)
            << shown;
        EXPECT_NE(error.find(c.message_part), std::string::npos) << shown << " gave: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << shown;
        EXPECT_EQ(options.out_dir, "untouched") << shown;
        EXPECT_TRUE(options.frames.empty()) << shown;
    }
}

}  // namespace
