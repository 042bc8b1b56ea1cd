// The test runner. Under CTest each test runs in a process of its own (the
// game's process-wide objects live until the process ends). Run by hand with
// no --gtest_ argument, the binary does the same: it starts itself once per
// test and adds up the results.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "varnholt/platform_test.h"

extern char** environ;

namespace {

bool wantsWholeRun(int argc, char** argv) {
    if (std::getenv("VARNHOLT_TEST_CHILD")) return false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_", 8) == 0) return false;
    return true;
}

int runChild(const char* self, const std::string& name) {
    std::string filter = "--gtest_filter=" + name;
    std::string brief = "--gtest_brief=1";
    char* args[] = {const_cast<char*>(self), filter.data(), brief.data(), nullptr};
    setenv("VARNHOLT_TEST_CHILD", "1", 1);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, args, environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int runEachInItsOwnProcess(const char* self) {
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
    int passed = 0, failed = 0;
    for (const auto& name : names) {
        int code = runChild(self, name);
        if (code == 0) {
            ++passed;
        } else {
            ++failed;
            std::printf("FAILED: %s (exit %d)\n", name.c_str(), code);
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    bool whole = wantsWholeRun(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    if (whole) return runEachInItsOwnProcess(argv[0]);
    vh::test::useHeadlessHost();
    return RUN_ALL_TESTS();
}
