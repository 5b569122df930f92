// emulated_timer_test.cpp
