// The game's own program started as a player starts it, with an environment
// of the test's choosing, its stderr read back and its exit status kept.
#pragma once

#include <fcntl.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "image_bytes.h"

namespace xtest {

struct ProgramRun {
    childprocess::Child child;
    int errorPipe = -1;
    std::string errors;
    int status = -1;  // the exit code, 128 + the signal's number, or -1 while running

    // Where the program's stderr goes: a pipe the test reads, a pipe whose
    // reading end is already closed, or nowhere (descriptor 2 closed).
    enum Errors { Read, BrokenPipe, Closed };

    // Starts `program` in `folder` with the test's environment changed by
    // `set` (an empty value removes the variable).
    bool start(const std::string& program, const std::string& folder,
               const std::map<std::string, std::string>& set, Errors errorsTo = Read,
               const std::vector<std::string>& args = {}) {
        int pipes[2];
        if (pipe(pipes) != 0) return false;
        const bool started = child.fork([&]() -> int {
            for (const auto& [name, value] : set) {
                if (value.empty())
                    unsetenv(name.c_str());
                else
                    setenv(name.c_str(), value.c_str(), 1);
            }
            if (errorsTo != Read) close(pipes[0]);
            dup2(pipes[1], 2);
            int quiet = open("/dev/null", O_RDWR);
            dup2(quiet, 0);
            dup2(quiet, 1);
            if (errorsTo == Closed) close(2);
            for (int fd = 3; fd < 1024; ++fd) close(fd);
            if (chdir(folder.c_str()) != 0) _exit(126);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        });
        if (!started) return false;
        close(pipes[1]);
        if (errorsTo != Read) {
            close(pipes[0]);
        } else {
            errorPipe = pipes[0];
            fcntl(errorPipe, F_SETFL, O_NONBLOCK);
        }
        return true;
    }

    // Waits for the program to end; false, and the program killed, if it
    // did not in the tests' generous time.
    bool wait() {
        child.deadline =
            childprocess::Clock::now() + std::chrono::milliseconds(childprocess::kPatience);
        const bool ended = child.wait([this] { readErrors(); });
        readErrors();
        if (ended) status = child.code();
        return ended;
    }

    bool running() {
        if (child.poll()) status = child.code();
        return status < 0;
    }

    void readErrors() {
        if (errorPipe < 0) return;
        char buffer[512];
        ssize_t got;
        while ((got = read(errorPipe, buffer, sizeof buffer)) > 0)
            errors.append(buffer, size_t(got));
    }

    std::vector<std::string> errorLines() const { return fixture::lines(errors); }

    ~ProgramRun() {
        child.end();
        if (errorPipe >= 0) close(errorPipe);
    }
};

}  // namespace xtest
