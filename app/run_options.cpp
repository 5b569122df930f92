// run_options.cpp -- parse_run_options and the usage text
#include "app/run_options.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

const char run_options_usage[] =
    "Usage: quorvex [OPTION]\n"
    "Shows the demo full screen at 800x600, or scaled (4:3 kept) into a window.\n"
    "\n"
    "  (no option)      full screen: the display switches to 800x600; a key ends it\n"
    "  --window         in a framed, resizable window on the desktop\n"
    "  --window-id ID   inside the existing window ID (decimal or 0x hex), as a\n"
    "                   screensaver does; the program that owns it ends the demo\n"
    "  --root           inside the screensaver's window (XSCREENSAVER_WINDOW), else\n"
    "                   on the root window\n"
    "  --help           show this text and exit\n"
    "\n"
    "With no option and XSCREENSAVER_WINDOW set, the demo draws into that window.\n"
    "Windows screensaver forms: /s (full screen until a key, a click or a mouse\n"
    "move), /p HWND (inside the preview box), /c (settings: there are none).\n";

// An X window id or a window handle: decimal or 0x hex, nothing else, never 0.
static bool parse_window_id(std::string_view text, std::uintptr_t& id)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty() || !std::isxdigit(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), id, base);
    return problem == std::errc{} && end == text.data() + text.size() && id != 0;
}

static bool same_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

static bool ends_with_scr(std::string_view program)
{
    return program.size() >= 4 && same_ignoring_case(program.substr(program.size() - 4), ".scr");
}

// error = before + what + after. (Built by appending: g++ 12 at -O3 warns
// falsely about a literal added to a temporary string.)
static bool fail(std::string& error, std::string_view before, std::string_view what = {},
                 std::string_view after = {})
{
    error.assign(before).append(what).append(after);
    return false;
}

// Windows starts a screensaver with "/s", "/p HWND" or "/p:HWND", "/c" or "/c:HWND",
// in any case; the handle of /c is the dialog to own the box, which is not used.
static bool parse_screensaver_form(int argc, const char* const* argv, RunOptions& options,
                                   std::string& error)
{
    const std::string_view form = argv[1];
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(form[1])));
    const std::string_view attached = form.substr(2);  // "" or ":HWND"
    const bool takes_handle = letter == 'p' || letter == 'c';
    if (!(letter == 's' && attached.empty()) &&
        !(takes_handle && (attached.empty() || attached[0] == ':'))) {
        return fail(error, "unrecognized option '", form, "'");
    }
    const char* handle = attached.size() > 1 ? argv[1] + 3 : nullptr;
    int used = 2;
    if (letter == 'p' && attached.empty() && argc > 2) {
        handle = argv[2];
        used = 3;
    }
    if (argc > used) {
        return fail(error, "unexpected argument '", argv[used], "'");
    }
    if ((letter == 'p' && !handle) || attached == ":") {
        return fail(error, "option '", form.substr(0, 2), "' needs a window handle");
    }
    if (handle && !parse_window_id(handle, options.window_id)) {
        return fail(error, "'", handle, "' is not a window handle");
    }
    if (letter == 's') {
        options.end_on_mouse = true;
    } else if (letter == 'c') {
        options.window_id = 0;
        options.host = Host::settings;
    } else {
        options.host = Host::foreign;
    }
    return true;
}

bool parse_run_options(int argc, const char* const* argv, const char* xscreensaver_window,
                       RunOptions& options, std::string& error)
{
    options = RunOptions{};
    // The X screensaver names the window a hack draws into in the environment;
    // with --root, a hack draws into that window rather than the real root.
    std::uintptr_t saver_window = 0;
    const bool saver = xscreensaver_window && xscreensaver_window[0] != '\0';
    if (saver && !parse_window_id(xscreensaver_window, saver_window)) {
        return fail(error, "XSCREENSAVER_WINDOW='", xscreensaver_window, "' is not a window id");
    }
    if (argc < 2) {
        if (argc == 1 && ends_with_scr(argv[0])) {
            options.host = Host::settings;
        } else if (saver) {
            options.host = Host::foreign;
            options.window_id = saver_window;
        }
        return true;
    }

    std::string_view option = argv[1];
    if (option.size() >= 2 && option[0] == '/') {
        return parse_screensaver_form(argc, argv, options, error);
    }
    int used = 2;
    if (option == "--help") {
        options.host = Host::help;
    } else if (option == "--window") {
        options.host = Host::window;
    } else if (option == "--root") {
        options.host = Host::foreign;
        options.window_id = saver_window;
        options.root = !saver;
    } else if (option == "--window-id" || option.starts_with("--window-id=")) {
        const char* id_text = nullptr;
        if (option.size() > std::strlen("--window-id")) {
            id_text = argv[1] + std::strlen("--window-id=");
        } else if (argc > 2) {
            id_text = argv[2];
            used = 3;
        }
        if (!id_text) {
            return fail(error, "option '--window-id' needs a window id");
        }
        if (!parse_window_id(id_text, options.window_id)) {
            return fail(error, "'", id_text, "' is not a window id");
        }
        options.host = Host::foreign;
    } else if (option.starts_with("-")) {
        return fail(error, "unrecognized option '", option, "'");
    } else {
        return fail(error, "unexpected argument '", option, "'");
    }
    if (argc > used) {
        return fail(error, "unexpected argument '", argv[used], "'");
    }
    return true;
}
