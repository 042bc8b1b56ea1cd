// Status codes shared by the whole game. 0 is success; bit 0x02 marks a
// failure, and callers that test a code look at that bit.
#pragma once

#include <cstdint>

using ResultCode = int32_t;

namespace result {
constexpr ResultCode kOk = 0;
constexpr ResultCode kFailureBit = 0x02;
constexpr ResultCode kKeyNotHandled = 0x05;
constexpr ResultCode kObjectMissing = 0x0A;
constexpr ResultCode kAlreadyInitialised = 0x10;
constexpr ResultCode kBitmapEmpty = 0x12;
constexpr ResultCode kOutOfMemory = 0x42;
constexpr ResultCode kPassedUp = 0x80;
constexpr ResultCode kCleanUpFailed = 0x81;
constexpr ResultCode kPlatformFailed = 0x82;
constexpr ResultCode kStartUpFailed = 0x10000;
constexpr ResultCode kLoopFailed = 0x20000;

constexpr bool failed(ResultCode code) {
    return (code & kFailureBit) != 0;
}
// A callee's non-zero code handed up by its caller carries 0x80.
constexpr ResultCode passUp(ResultCode code) {
    return code == 0 ? 0 : (code | kPassedUp);
}
}  // namespace result
