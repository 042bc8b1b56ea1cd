// The conformance tests' runner on Windows (and under Wine). Run with no
// --gtest_ argument, it starts itself once per test, as the Linux runner
// does: the display mode, exclusive mode, registered window classes and GDI+
// are process-wide, so a test that fails half-way must not leave them to the
// next one, and a test that crashes or hangs is pinned to its own name.
// With a --gtest_ argument it runs the chosen tests in its own process.
#include <windows.h>

#include "each_test.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTestTimeoutMs = 60000;

// The test's exit code; -1 when it could not start, and the timeout's own
// code when it had to be stopped.
DWORD runChild(const std::wstring& self, const std::string& name) {
    std::wstring commandLine = L"\"" + self + L"\" --gtest_brief=1 --gtest_filter=";
    commandLine.append(name.begin(), name.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process))
        return DWORD(-1);
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, kTestTimeoutMs) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, WAIT_TIMEOUT);
        WaitForSingleObject(process.hProcess, INFINITE);
        std::printf("TIMEOUT %s after %lu s\n", name.c_str(), kTestTimeoutMs / 1000);
    }
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

int runEachInItsOwnProcess() {
    std::vector<wchar_t> path(MAX_PATH);
    while (GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())) >= path.size())
        path.resize(path.size() * 2);
    const std::wstring self(path.data());
    SetEnvironmentVariableA(eachtest::kChildVariable, "1");
    return eachtest::runEach([&](const std::string& name) { return long(runChild(self, name)); });
}

}  // namespace

int main(int argc, char** argv) {
    // A crash is a failed test, not a dialog box waiting for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    bool whole = eachtest::wantsWholeRun(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    if (whole) return runEachInItsOwnProcess();
    return RUN_ALL_TESTS();
}
