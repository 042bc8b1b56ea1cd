// The test runner. Under CTest each test runs in a process of its own (the
// game's process-wide objects live until the process ends). Run by hand with
// no --gtest_ argument, the binary does the same: it starts itself once per
// test and adds up the results.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "each_test.h"
#include "varnholt/platform_test.h"

extern char** environ;

namespace {

int runChild(const char* self, const std::string& name) {
    std::string filter = "--gtest_filter=" + name;
    std::string brief = "--gtest_brief=1";
    char* args[] = {const_cast<char*>(self), filter.data(), brief.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, args, environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int runEachInItsOwnProcess(const char* self) {
    setenv(eachtest::kChildVariable, "1", 1);
    return eachtest::runEach([&](const std::string& name) { return long(runChild(self, name)); });
}

}  // namespace

int main(int argc, char** argv) {
    bool whole = eachtest::wantsWholeRun(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    if (whole) return runEachInItsOwnProcess(argv[0]);
    vh::test::useHeadlessHost();
    return RUN_ALL_TESTS();
}
