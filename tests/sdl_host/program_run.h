// The game's own program started as a player starts it, with an environment
// of the test's choosing, its stderr read back and its exit status kept.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace xtest {

struct ProgramRun {
    pid_t pid = 0;
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
        const bool closedErrors = errorsTo != Read;
        int pipes[2];
        if (pipe(pipes) != 0) return false;
        pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            for (const auto& [name, value] : set) {
                if (value.empty())
                    unsetenv(name.c_str());
                else
                    setenv(name.c_str(), value.c_str(), 1);
            }
            if (closedErrors) close(pipes[0]);
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
        }
        close(pipes[1]);
        if (closedErrors) {
            close(pipes[0]);
        } else {
            errorPipe = pipes[0];
            fcntl(errorPipe, F_SETFL, O_NONBLOCK);
        }
        return true;
    }

    // Waits up to `milliseconds` for the program to end; false if it did not.
    bool wait(int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            readErrors();
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid) {
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                readErrors();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    bool running() { return status < 0 && kill(pid, 0) == 0 && !wait(0); }

    void readErrors() {
        if (errorPipe < 0) return;
        char buffer[512];
        ssize_t got;
        while ((got = read(errorPipe, buffer, sizeof buffer)) > 0)
            errors.append(buffer, size_t(got));
    }

    std::vector<std::string> errorLines() const {
        std::vector<std::string> lines;
        size_t from = 0, at;
        while ((at = errors.find('\n', from)) != std::string::npos) {
            lines.push_back(errors.substr(from, at - from));
            from = at + 1;
        }
        if (from < errors.size()) lines.push_back(errors.substr(from));
        return lines;
    }

    ~ProgramRun() {
        if (status < 0 && pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (errorPipe >= 0) close(errorPipe);
    }
};

}  // namespace xtest
