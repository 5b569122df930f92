// sleep_win32.cpp -- how long Sleep(2), the frame loop's pause, really lasts on Windows (run by hand)
//
// Build with the mingw-w64 cross compiler and run on Windows (or under Wine):
//   x86_64-w64-mingw32-g++-win32 -O2 -static -o sleep_win32.exe bench/sleep_win32.cpp
//   wine sleep_win32.exe
//
// Windows wakes a sleeping thread only on a tick of the system timer, whose period
// is 15.625 ms unless the process asks for a finer one (this program, like the
// demo, does not), so Sleep(2) usually lasts a whole tick. It prints the timer
// periods the system reports and the spread of 500 Sleep(2) calls.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

// NtQueryTimerResolution is in every ntdll but in no import library: looked up by name.
using QueryTimerResolution = LONG(WINAPI*)(ULONG* coarsest, ULONG* finest, ULONG* current);

int main()
{
    auto query = reinterpret_cast<QueryTimerResolution>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryTimerResolution")));
    ULONG coarsest = 0, finest = 0, current = 0;
    if (query && query(&coarsest, &finest, &current) == 0) {
        // In units of 100 ns.
        std::printf("timer period: current %.3f ms (coarsest %.3f, finest %.3f)\n", current / 1e4,
                    coarsest / 1e4, finest / 1e4);
    }

    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    constexpr int count = 500;
    std::vector<double> lasted;
    lasted.reserve(count);
    for (int i = 0; i < count; ++i) {
        QueryPerformanceCounter(&before);
        Sleep(2);
        QueryPerformanceCounter(&after);
        lasted.push_back(double(after.QuadPart - before.QuadPart) * 1000.0 / double(frequency.QuadPart));
    }
    std::sort(lasted.begin(), lasted.end());
    double sum = 0;
    for (double ms : lasted) {
        sum += ms;
    }
    std::printf("Sleep(2) x %d: mean %.3f ms, min %.3f, median %.3f, 99th %.3f, max %.3f\n", count,
                sum / count, lasted.front(), lasted[count / 2], lasted[count * 99 / 100], lasted.back());
    return 0;
}
