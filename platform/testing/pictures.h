// Pixels in any SDL format as a Picture of 0x00RRGGBB values.
#pragma once

#include <cstdint>

#include "varnholt/platform_test.h"

namespace vh::test {

// The unused top byte of a 32-bit format may hold anything the game wrote
// there; it is cleared.
Picture toPicture(int width, int height, uint32_t format, const void* pixels, int pitch);

}  // namespace vh::test
