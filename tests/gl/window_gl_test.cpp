#include "tests/gl/gl_context.h"
