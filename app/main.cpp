// main.cpp -- the entry point: start-up, then frames until a key or a close request
#include "app/frame_loop.h"

int main()
{
    start_up();
    run_frame_loop();
}
