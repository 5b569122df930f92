// torus.cpp -- placeholder until the torus generator lands
#include "geometry/torus.h"

std::uint32_t generate_torus(std::int32_t, std::int32_t, float, float, std::int32_t)
{
    return 0;
}
