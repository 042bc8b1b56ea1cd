// Child processes of the tests, the sweep and the benchmarks: forked or
// spawned, waited for up to a deadline and killed when they outlive it, their
// end told as a shell tells it (the exit code, or 128 plus the signal's
// number). And waitUntil, the one way the tests wait for what they expect.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace childprocess {

using Clock = std::chrono::steady_clock;

// How long a test waits for what it expects before it fails: generous, so
// that a loaded two-core machine never decides it; what works arrives far
// sooner, and only a fault waits it out.
constexpr int kPatience = 15000;  // milliseconds

// Looks every `pause` milliseconds until `done` holds (true) or `milliseconds`
// have passed (false).
template <typename Done>
bool waitUntil(int milliseconds, int pause, Done&& done) {
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }
    return true;
}

struct Child {
    pid_t pid = 0;
    Clock::time_point deadline = Clock::time_point::max();  // when a wait kills it
    int status = 0;                                         // waitpid's, once it ended
    bool ended = false, killed = false;

    // Runs `body` in a copy of this process, which then ends through exit()
    // (so that LeakSanitizer looks) with what `body` answers.
    template <typename Body>
    bool fork(Body&& body) {
        std::fflush(nullptr);
        if ((pid = ::fork()) == 0) std::exit(body());
        return pid > 0;
    }

    // Starts `path` with `args` (the program's name first, nullptr last).
    bool spawn(const char* path, char* const args[],
               const posix_spawn_file_actions_t* actions = nullptr) {
        if (posix_spawn(&pid, path, actions, nullptr, args, environ) != 0) pid = 0;
        return pid > 0;
    }

    // Whether it has ended, without waiting.
    bool poll() {
        if (!ended && pid > 0) ended = waitpid(pid, &status, WNOHANG) == pid;
        return ended;
    }

    // Waits until it ends (true) or the deadline passes and it is killed
    // (false); `meanwhile` runs between looks, to read its pipes, say.
    bool wait(const std::function<void()>& meanwhile = {}) {
        while (pid > 0 && !poll() && !killed) {
            if (meanwhile) meanwhile();
            if (Clock::now() >= deadline) end();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return ended && !killed;
    }

    // Ends it with `signal` unless it has ended, and waits for it.
    void end(int signal = SIGKILL) {
        if (pid <= 0 || poll()) return;
        kill(pid, signal);
        ended = killed = waitpid(pid, &status, 0) == pid;
    }

    // The exit code or 128 + the signal's number; -1 while it runs.
    int code() const {
        if (!ended) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

// Waits until one of `children` ends, or outlives its deadline and is
// killed; its index among them.
inline size_t waitForAny(std::vector<Child>& children) {
    for (;; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
        for (size_t i = 0; i < children.size(); ++i) {
            if (children[i].poll() || Clock::now() >= children[i].deadline) {
                children[i].end();
                return i;
            }
        }
    }
}

}  // namespace childprocess
