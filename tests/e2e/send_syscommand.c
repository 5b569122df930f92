/* send_syscommand.c -- minimises or restores the demo's window as the taskbar does, then waits until it is so (a Windows program, run under Wine) */
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    int minimise = argc == 2 && strcmp(argv[1], "minimise") == 0;
    if (argc != 2 || (!minimise && strcmp(argv[1], "restore") != 0)) {
        fprintf(stderr, "usage: send_syscommand minimise|restore\n");
        return 2;
    }
    HWND window = FindWindowA("OpenGL", NULL);
    if (!window) {
        fprintf(stderr, "send_syscommand: no window of the class OpenGL\n");
        return 1;
    }
    /* Posted, not sent: the command reaches the window procedure through the
       program's own message pump, as a click on the taskbar's button would. */
    PostMessageA(window, WM_SYSCOMMAND, minimise ? SC_MINIMIZE : SC_RESTORE, 0);
    for (int waited_ms = 0; waited_ms < 5000; waited_ms += 50) {
        if (!IsIconic(window) == !minimise) {
            return 0;
        }
        Sleep(50);
    }
    fprintf(stderr, "send_syscommand: the window is %s 5 s after the command\n",
            minimise ? "still shown" : "still minimised");
    return 1;
}
