// app_state.cpp -- the one definition of the global AppState (zero at load)
#include "state/app_state.h"

AppState app;
