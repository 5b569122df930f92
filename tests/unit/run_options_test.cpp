// run_options_test.cpp -- the command line and XSCREENSAVER_WINDOW, row by row; the picture fitted to a window
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_options.h"
#include "platform/scaled_picture.h"

namespace {

struct Row {
    std::vector<const char*> arguments;  // after the program's name
    const char* saver_window;            // XSCREENSAVER_WINDOW, or null
    Host host;
    std::uintptr_t window_id;
    bool root, end_on_mouse;
    const char* error;                   // null where the row parses
};

const Row rows[] = {
    {{}, nullptr, Host::fullscreen, 0, false, false, nullptr},
    {{"--window"}, "77", Host::window, 0, false, false, nullptr},
    {{"--window-id", "0x2a"}, nullptr, Host::foreign, 42, false, false, nullptr},
    {{"--window-id=4194311"}, nullptr, Host::foreign, 4194311, false, false, nullptr},
    {{"--root"}, nullptr, Host::foreign, 0, true, false, nullptr},
    {{"--root"}, "0x10", Host::foreign, 16, false, false, nullptr},
    {{}, "77", Host::foreign, 77, false, false, nullptr},
    {{"--help"}, nullptr, Host::help, 0, false, false, nullptr},
    {{"/s"}, nullptr, Host::fullscreen, 0, false, true, nullptr},
    {{"/p", "1234"}, nullptr, Host::foreign, 1234, false, false, nullptr},
    {{"/P:0x10"}, nullptr, Host::foreign, 16, false, false, nullptr},
    {{"/C:99"}, nullptr, Host::settings, 0, false, false, nullptr},
    {{"--bogus"}, nullptr, Host::fullscreen, 0, false, false, "unrecognized option '--bogus'"},
    {{"stray"}, nullptr, Host::fullscreen, 0, false, false, "unexpected argument 'stray'"},
    {{"--window-id"}, nullptr, Host::fullscreen, 0, false, false, "option '--window-id' needs a window id"},
    {{"--window-id", "0"}, nullptr, Host::fullscreen, 0, false, false, "'0' is not a window id"},
    {{"--window-id", "12z"}, nullptr, Host::fullscreen, 0, false, false, "'12z' is not a window id"},
    {{"--window-id=-5"}, nullptr, Host::fullscreen, 0, false, false, "'-5' is not a window id"},
    {{"/p"}, nullptr, Host::fullscreen, 0, false, false, "option '/p' needs a window handle"},
    {{"/x"}, nullptr, Host::fullscreen, 0, false, false, "unrecognized option '/x'"},
    {{}, "junk", Host::fullscreen, 0, false, false, "XSCREENSAVER_WINDOW='junk' is not a window id"},
};

}  // namespace

TEST(RunOptions, EachRowParsesToItsHostOrItsError)
{
    for (const Row& row : rows) {
        std::vector<const char*> argv = {"quorvex"};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        std::string line = argv.size() > 1 ? argv[1] : "(none)";
        RunOptions options;
        std::string error;
        bool parsed = parse_run_options(static_cast<int>(argv.size()), argv.data(), row.saver_window,
                                        options, error);
        EXPECT_EQ(parsed, row.error == nullptr) << line;
        EXPECT_EQ(error, row.error ? row.error : "") << line;
        if (parsed) {
            EXPECT_EQ(options.host, row.host) << line;
            EXPECT_EQ(options.window_id, row.window_id) << line;
            EXPECT_EQ(options.root, row.root) << line;
            EXPECT_EQ(options.end_on_mouse, row.end_on_mouse) << line;
        }
    }
    const char* scr[] = {"C:\\Windows\\QUORVEX.SCR"};  // a screensaver's settings request
    RunOptions options;
    std::string error;
    EXPECT_TRUE(parse_run_options(1, scr, nullptr, options, error) && options.host == Host::settings);
}

TEST(ScaledPicture, FitsTheLargestCentredRectangleOfThePicturesAspect)
{
    auto fit = [](int w, int h) {
        PictureRect r = fit_picture(w, h, 800, 600);
        return std::vector<int>{r.x, r.y, r.width, r.height};
    };
    EXPECT_EQ(fit(1280, 720), (std::vector<int>{160, 0, 960, 720}));
    EXPECT_EQ(fit(600, 700), (std::vector<int>{0, 125, 600, 450}));
    EXPECT_EQ(fit(1000, 500), (std::vector<int>{166, 0, 667, 500}));
    EXPECT_EQ(fit(801, 600), (std::vector<int>{0, 0, 800, 600}));
    EXPECT_EQ(fit(0, 600), (std::vector<int>{0, 0, 0, 0}));
}
