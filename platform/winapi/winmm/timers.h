// The millisecond count that timeGetTime and message times read, and the
// exact timer answers that clock tests can force.
#pragma once

#include <cstdint>
#include <optional>

#include <win32/windows.h>

namespace vh::platform {

// The host's clock in milliseconds as 32 bits: it wraps to 0 after about
// 49.7 days, as Windows' millisecond counts do.
DWORD tickCount();

// Answers the timer calls give instead of reading the host's clock, each in
// force while set.
struct ForcedTimers {
    std::optional<int64_t> frequency;
    std::optional<int64_t> counter;
    std::optional<uint32_t> milliseconds;
};
ForcedTimers& forcedTimers();

}  // namespace vh::platform
