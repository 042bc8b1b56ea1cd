// The test runner. Under CTest each test runs in a process of its own (the
// game's process-wide objects live until the process ends). Run by hand with
// no --gtest_ argument, the binary does the same: it starts itself once per
// test and adds up the results.
#include <cstdlib>
#include <string>

#include "child_process.h"
#include "each_test.h"
#include "varnholt/platform_test.h"

namespace {

int runEachInItsOwnProcess(const char* self) {
    setenv(eachtest::kChildVariable, "1", 1);
    return eachtest::runEach([&](const std::string& name) {
        std::string filter = "--gtest_filter=" + name, brief = "--gtest_brief=1";
        char* args[] = {const_cast<char*>(self), filter.data(), brief.data(), nullptr};
        childprocess::Child child;
        if (!child.spawn("/proc/self/exe", args)) return -1L;
        child.wait();
        return long(child.code());
    });
}

}  // namespace

int main(int argc, char** argv) {
    bool whole = eachtest::wantsWholeRun(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    if (whole) return runEachInItsOwnProcess(argv[0]);
    vh::test::useHeadlessHost();
    return RUN_ALL_TESTS();
}
