// What both test runners (Linux and Windows) share when a test program is
// run by hand with no --gtest_ argument: it starts itself once per test, so
// that process-wide state (the display, window classes, GDI+) and a crash or
// hang stay with their test. One line per test ("ok" or "FAILED") and then
// "N passed, N failed".
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace eachtest {

// The variable a runner sets for the copies of itself it starts.
constexpr const char* kChildVariable = "VARNHOLT_TEST_CHILD";

// Neither a copy started by a runner nor given tests to run.
inline bool wantsWholeRun(int argc, char** argv) {
    if (std::getenv(kChildVariable)) return false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_", 8) == 0) return false;
    return true;
}

// Every test of the program but the disabled ones, as --gtest_filter names it.
inline std::vector<std::string> allTestNames() {
    std::vector<std::string> names;
    auto* unit = testing::UnitTest::GetInstance();
    for (int s = 0; s < unit->total_test_suite_count(); ++s) {
        const auto* suite = unit->GetTestSuite(s);
        for (int t = 0; t < suite->total_test_count(); ++t) {
            const auto* info = suite->GetTestInfo(t);
            if (std::strncmp(info->name(), "DISABLED_", 9) == 0) continue;
            names.push_back(std::string(suite->name()) + "." + info->name());
        }
    }
    return names;
}

// Runs every test through `runOne`, which answers the exit code of the
// process that ran it; 0 when all passed, 1 otherwise.
inline int runEach(const std::function<long(const std::string& name)>& runOne) {
    int passed = 0, failed = 0;
    for (const auto& name : allTestNames()) {
        std::fflush(stdout);
        const long code = runOne(name);
        if (code == 0) {
            ++passed;
            std::printf("ok      %s\n", name.c_str());
        } else {
            ++failed;
            std::printf("FAILED  %s (exit %ld)\n", name.c_str(), code);
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

}  // namespace eachtest
