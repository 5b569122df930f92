// window_lifecycle_test.cpp
