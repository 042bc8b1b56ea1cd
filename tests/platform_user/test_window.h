// A window class for tests, with the recording procedure: it hands every
// message to whatever the test installs, and keeps a log of the messages.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include <win32/windows.h>

#include "recording_window.h"
#include "varnholt/platform_test.h"

namespace testwin {

using recording::handler;
using recording::seen;

inline const char* kClassName = "VarnholtTestWindow";

inline HWND create() {
    return CreateWindowExA(0, kClassName, "test", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr,
                           nullptr, nullptr, nullptr);
}

inline std::vector<UINT> messagesSeen() {
    std::vector<UINT> out;
    for (const auto& entry : seen()) out.push_back(entry.message);
    return out;
}

// Every test starts with a registered class and an empty log.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vh::test::resetHooks();
        seen().clear();
        handler() = nullptr;
        ASSERT_NE(recording::registerClass(kClassName), 0);
    }
};

}  // namespace testwin
