/* preview_box.c -- a window with a 480x270 client area, as the screensaver dialog's preview box is to a .scr: prints its handle, runs until closed (a Windows program, run under Wine) */
#include <windows.h>
#include <stdio.h>

int main(void)
{
    RECT frame = {0, 0, 480, 270};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    /* A system class: closing it destroys it, and the child in it with it. */
    HWND window = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, frame.right - frame.left,
                                frame.bottom - frame.top, NULL, NULL, NULL, NULL);
    printf("%llu\n", (unsigned long long)(UINT_PTR)window);
    fflush(stdout);
    for (MSG message; IsWindow(window) && GetMessageA(&message, NULL, 0, 0) > 0;) DispatchMessageA(&message);
    return 0;
}
