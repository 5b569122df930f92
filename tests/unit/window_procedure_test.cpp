// window_procedure_test.cpp
