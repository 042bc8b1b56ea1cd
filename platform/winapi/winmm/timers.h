// The millisecond count that timeGetTime and message times read, and the
// exact timer answers that clock tests can force.
#pragma once

#include <cstdint>
#include <optional>

#include <win32/windows.h>

#include "winapi_state.h"

namespace vh::platform {

// The host's clock in milliseconds as 32 bits: it wraps to 0 after about
// 49.7 days, as Windows' millisecond counts do.
DWORD tickCount();

// The timer answers in force (the tests' hooks set them).
ForcedTimers& forcedTimers();

}  // namespace vh::platform
