// platform_win32.cpp -- the platform steps on USER32, GDI, WGL and KERNEL32
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/scaled_picture.h"

// The display-mode record the program hands over ends with dmReserved2; the
// system reads only dmSize bytes of it, so the panning members of the larger
// declared record are never looked at.
static constexpr WORD devmode_size = 148;
static_assert(offsetof(DEVMODEA, dmPanningWidth) == devmode_size);
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

// The message numbers the program uses are the native ones.
static_assert(msg_create == WM_CREATE && msg_destroy == WM_DESTROY && msg_size == WM_SIZE);
static_assert(msg_close == WM_CLOSE && msg_quit == WM_QUIT && msg_keydown == WM_KEYDOWN);
static_assert(msg_syskeydown == WM_SYSKEYDOWN && msg_timer == WM_TIMER);
static_assert(msg_mousemove == WM_MOUSEMOVE && msg_lbuttondown == WM_LBUTTONDOWN &&
              msg_rbuttondown == WM_RBUTTONDOWN && msg_mbuttondown == WM_MBUTTONDOWN);
static_assert(msg_syscommand == WM_SYSCOMMAND && syscommand_close == SC_CLOSE &&
              syscommand_keymenu == SC_KEYMENU && syscommand_screensave == SC_SCREENSAVE &&
              syscommand_monitorpower == SC_MONITORPOWER);
static_assert(display_change_successful == DISP_CHANGE_SUCCESSFUL &&
              display_change_failed == DISP_CHANGE_FAILED &&
              display_change_badmode == DISP_CHANGE_BADMODE);

static struct {
    WindowProcedure procedure;
    HINSTANCE instance;  // the module that registered the class
    MSG message;         // the native record behind the last message taken
    HWND window;         // the program's window, while it exists
    DWORD failure;       // the system's error code at the last failed step
    const char* failure_fallback;  // what to say when that code is 0
    char failure_text[512];
    // The scaled styles: the picture's size (what the program asked for), the client
    // area it is shown in, and the host window a hosted one is a child of.
    WindowStyle style;
    int picture_width, picture_height;
    int client_width, client_height;
    HWND host;
    bool picture_started;  // the off-screen picture exists in the current context
    bool destroying;       // platform_destroy_window is destroying the window
} win32;

static bool scaled()
{
    return win32.style == window_style_scaled || win32.style == window_style_hosted;
}

// Keeps the system's error code at the step that failed: the message boxes and
// the teardown that follow a failure change it. Each step clears the code first,
// since a call that fails without setting one would otherwise report an older
// failure's reason; `fallback` is what such a failure means, where that is known.
static void note_failure(const char* fallback = "")
{
    win32.failure = GetLastError();
    win32.failure_fallback = fallback;
}

static HWND hwnd(PlatformWindow* window)
{
    return reinterpret_cast<HWND>(window);
}

static HDC hdc(PlatformDc* dc)
{
    return reinterpret_cast<HDC>(dc);
}

static HGLRC hglrc(PlatformContext* rc)
{
    return reinterpret_cast<HGLRC>(rc);
}

// The class's procedure: the program's own, given the opaque handle. The
// system calls it for messages sent during creation, showing and destruction
// as well as for the ones the pump dispatches.
static LRESULT CALLBACK forward_to_procedure(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam)
{
    if (!win32.procedure) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (message == WM_SIZE && scaled()) {
        // The program draws the picture at its own size whatever the window's; the
        // client size is only where the picture is shown.
        win32.client_width = LOWORD(lparam);
        win32.client_height = HIWORD(lparam);
        lparam = MAKELPARAM(win32.picture_width, win32.picture_height);
    }
    LRESULT result =
        win32.procedure(reinterpret_cast<PlatformWindow*>(window), message, wparam, lparam);
    if (message == WM_DESTROY && win32.style == window_style_hosted && !win32.destroying) {
        // The host destroyed its child along with itself (the preview box's dialog
        // closed): the host decides when the picture ends, and there is no window
        // left to tear down.
        platform_exit_process(0);
    }
    return result;
}

static PIXELFORMATDESCRIPTOR pixel_format_descriptor(const PixelFormatRequest* format)
{
    PIXELFORMATDESCRIPTOR descriptor;
    std::memset(&descriptor, 0, sizeof descriptor);
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (format->double_buffer) {
        descriptor.dwFlags |= PFD_DOUBLEBUFFER;
    }
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = format->color_bits;
    descriptor.cDepthBits = format->depth_bits;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}

bool platform_register_class(const char* class_name, WindowProcedure procedure, WindowStyle)
{
    win32.procedure = procedure;
    win32.instance = GetModuleHandleA(nullptr);

    WNDCLASSA window_class;
    std::memset(&window_class, 0, sizeof window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    window_class.lpfnWndProc = forward_to_procedure;
    window_class.hInstance = win32.instance;
    window_class.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.lpszClassName = class_name;
    SetLastError(0);
    if (RegisterClassA(&window_class) == 0) {
        note_failure();
        return false;
    }
    return true;
}

bool platform_unregister_class(const char* class_name)
{
    SetLastError(0);
    if (UnregisterClassA(class_name, win32.instance) == 0) {
        note_failure();
        return false;
    }
    return true;
}

int platform_change_display_mode(int width, int height, int bits)
{
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = devmode_size;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bits);
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
}

int platform_restore_display_mode()
{
    return ChangeDisplaySettingsA(nullptr, 0);
}

void platform_show_cursor(bool show)
{
    ShowCursor(show ? TRUE : FALSE);
}

PlatformWindow* platform_create_window(const char* class_name, const char* title, WindowStyle style,
                                       int x, int y, int width, int height,
                                       const PixelFormatRequest*, std::uintptr_t host)
{
    DWORD extended_style = WS_EX_APPWINDOW;
    DWORD window_style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    HWND parent = nullptr;
    win32.style = style;
    win32.picture_width = win32.client_width = width;
    win32.picture_height = win32.client_height = height;
    if (style == window_style_windowed || style == window_style_scaled) {
        extended_style = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        window_style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    }
    if (style == window_style_scaled) {
        // The picture's size is the client area's to begin with: shown 1:1 until resized.
        RECT frame = {0, 0, width, height};
        AdjustWindowRectEx(&frame, window_style, FALSE, extended_style);
        width = frame.right - frame.left;
        height = frame.bottom - frame.top;
    } else if (style == window_style_hosted) {
        // A child filling the host's client area, as the screensaver dialog's preview
        // box expects of what it starts with /p.
        parent = reinterpret_cast<HWND>(host);
        RECT client;
        SetLastError(0);
        if (!IsWindow(parent) || !GetClientRect(parent, &client)) {
            note_failure("the host window does not exist");
            return nullptr;
        }
        win32.host = parent;
        extended_style = 0;
        window_style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        x = 0;
        y = 0;
        width = win32.client_width = client.right;
        height = win32.client_height = client.bottom;
    }
    SetLastError(0);
    HWND window = CreateWindowExA(extended_style, class_name, title, window_style, x, y, width,
                                  height, parent, nullptr, win32.instance, nullptr);
    if (!window) {
        note_failure();
    }
    win32.window = window;
    return reinterpret_cast<PlatformWindow*>(window);
}

PlatformDc* platform_get_dc(PlatformWindow* window)
{
    SetLastError(0);
    HDC dc = GetDC(hwnd(window));
    if (!dc) {
        note_failure();
    }
    return reinterpret_cast<PlatformDc*>(dc);
}

int platform_choose_pixel_format(PlatformDc* dc, const PixelFormatRequest* format)
{
    PIXELFORMATDESCRIPTOR descriptor = pixel_format_descriptor(format);
    SetLastError(0);
    int index = ChoosePixelFormat(hdc(dc), &descriptor);
    if (index == 0) {
        // Without an error code, nothing matched: the driver has no GL formats.
        note_failure("the display driver offers no OpenGL pixel format");
    }
    return index;
}

bool platform_set_pixel_format(PlatformDc* dc, int index, const PixelFormatRequest* format)
{
    PIXELFORMATDESCRIPTOR descriptor = pixel_format_descriptor(format);
    SetLastError(0);
    if (SetPixelFormat(hdc(dc), index, &descriptor) == FALSE) {
        note_failure();
        return false;
    }
    return true;
}

PlatformContext* platform_create_context(PlatformDc* dc)
{
    SetLastError(0);
    HGLRC rc = wglCreateContext(hdc(dc));
    if (!rc) {
        note_failure();
    }
    return reinterpret_cast<PlatformContext*>(rc);
}

// The GL's entry points beyond 1.1, which opengl32.dll does not export.
static void* gl_lookup(const char* name)
{
    return reinterpret_cast<void*>(wglGetProcAddress(name));
}

bool platform_make_current(PlatformDc* dc, PlatformContext* rc)
{
    if (!rc && win32.picture_started) {
        // The picture's buffers belong to the context about to be released.
        scaled_picture_stop();
        win32.picture_started = false;
    }
    SetLastError(0);
    if (wglMakeCurrent(hdc(dc), hglrc(rc)) == FALSE) {
        note_failure();
        return false;
    }
    if (rc && scaled() && !win32.picture_started) {
        if (!scaled_picture_start(gl_lookup, win32.picture_width, win32.picture_height)) {
            win32.failure = 0;
            win32.failure_fallback = scaled_picture_failure();
            return false;
        }
        win32.picture_started = true;
    }
    return true;
}

bool platform_delete_context(PlatformContext* rc)
{
    SetLastError(0);
    if (wglDeleteContext(hglrc(rc)) == FALSE) {
        note_failure();
        return false;
    }
    return true;
}

bool platform_release_dc(PlatformWindow* window, PlatformDc* dc)
{
    SetLastError(0);
    if (ReleaseDC(hwnd(window), hdc(dc)) != 1) {
        note_failure();
        return false;
    }
    return true;
}

bool platform_destroy_window(PlatformWindow* window)
{
    SetLastError(0);
    win32.destroying = true;
    BOOL destroyed = DestroyWindow(hwnd(window));
    win32.destroying = false;
    if (destroyed == FALSE) {
        note_failure();
        return false;
    }
    if (win32.window == hwnd(window)) {
        win32.window = nullptr;
    }
    return true;
}

void platform_start_timer(PlatformWindow* window, unsigned id, unsigned period_ms)
{
    SetTimer(hwnd(window), id, period_ms, nullptr);
}

void platform_show_window(PlatformWindow* window)
{
    if (win32.style == window_style_hosted) {
        // The host's window keeps the focus and its place: the preview box sits in a
        // dialog the user is working in.
        ShowWindow(hwnd(window), SW_SHOWNA);
        return;
    }
    ShowWindow(hwnd(window), SW_SHOW);
    SetForegroundWindow(hwnd(window));
    SetFocus(hwnd(window));
}

// A hosted window follows the size of its host's client area, which tells its
// children nothing when it changes.
static void follow_host()
{
    RECT client;
    if (GetClientRect(win32.host, &client) &&
        (client.right != win32.client_width || client.bottom != win32.client_height)) {
        MoveWindow(win32.window, 0, 0, client.right, client.bottom, FALSE);
    }
}

// A window nobody can see: minimised, or (in the scaled styles) hidden, its host
// hidden or minimised with it.
static bool unseen()
{
    if (!win32.window) {
        return false;
    }
    if (!scaled()) {
        return IsIconic(win32.window);
    }
    return !IsWindowVisible(win32.window) || IsIconic(GetAncestor(win32.window, GA_ROOT));
}

bool platform_peek_message(Message* message)
{
    if (win32.style == window_style_hosted && win32.window) {
        follow_host();
    }
    // A minimised window shows nothing, so rather than draw frames nobody sees
    // the pump waits for a message; the timer's are dropped meanwhile (the
    // title keeps the last rate), anything else is handed on as usual.
    for (;;) {
        bool iconic = unseen();
        if (!PeekMessageA(&win32.message, nullptr, 0, 0, PM_REMOVE)) {
            if (!iconic) {
                return false;
            }
            WaitMessage();
            continue;
        }
        if (!(iconic && win32.message.message == WM_TIMER)) {
            break;
        }
    }
    *message = Message{reinterpret_cast<PlatformWindow*>(win32.message.hwnd), win32.message.message,
                       win32.message.wParam, win32.message.lParam};
    return true;
}

void platform_dispatch_message(const Message* message)
{
    // The native record keeps the time and cursor position of the message taken;
    // the four fields the program sees are its own.
    MSG native = win32.message;
    native.hwnd = hwnd(message->window);
    native.message = message->message;
    native.wParam = message->wparam;
    native.lParam = message->lparam;
    TranslateMessage(&native);
    DispatchMessageA(&native);
}

std::intptr_t platform_default_window_procedure(PlatformWindow* window, std::uint32_t message,
                                                std::uintptr_t wparam, std::intptr_t lparam)
{
    return DefWindowProcA(hwnd(window), message, wparam, lparam);
}

void platform_post_quit_message(int exit_code)
{
    PostQuitMessage(exit_code);
}

void platform_set_window_title(PlatformWindow* window, const char* text)
{
    SetWindowTextA(hwnd(window), text);
}

void platform_message_box(const char* text, const char* caption)
{
    // Destroying the window on a failure path posts a quit message, and a
    // message box ends its own loop at once when it meets one: the box would
    // vanish before anyone could read it. Nothing reads that quit message, so it
    // is taken out of the queue here (a thread has at most one pending).
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    if (MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR) == IDOK) {
        return;
    }
    // No box could be shown (no desktop to show it on; Wine then answers -1
    // rather than 0): say it where it can be read.
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

void platform_report_bad_input(const char* text)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
    // Started as a screensaver or from Explorer the program has no console, and
    // what it writes there goes nowhere.
    platform_message_box(text, "Quorvex");
}

void platform_swap_buffers(PlatformDc* dc)
{
    if (win32.picture_started) {
        scaled_picture_present(win32.client_width, win32.client_height);
    }
    SwapBuffers(hdc(dc));
}

void platform_sleep(unsigned milliseconds)
{
    Sleep(milliseconds);
}

void platform_exit_process(int code)
{
    // The system returns the display to the desktop's mode when the process that
    // changed it for full screen ends.
    ExitProcess(static_cast<UINT>(code));
}

const char* platform_last_error()
{
    if (win32.failure == 0) {
        return win32.failure_fallback ? win32.failure_fallback : "";
    }
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, win32.failure, 0, win32.failure_text,
                                  sizeof win32.failure_text, nullptr);
    if (length == 0) {
        // A code the system has no text for is still worth reporting.
        std::snprintf(win32.failure_text, sizeof win32.failure_text, "system error %lu",
                      static_cast<unsigned long>(win32.failure));
        return win32.failure_text;
    }
    // The system's texts end with a line break, and some span several lines.
    for (char* c = win32.failure_text; *c; ++c) {
        if (*c == '\r' || *c == '\n') {
            *c = ' ';
        }
    }
    while (length > 0 && win32.failure_text[length - 1] == ' ') {
        win32.failure_text[--length] = '\0';
    }
    return win32.failure_text;
}
