// frame_loop_test.cpp
