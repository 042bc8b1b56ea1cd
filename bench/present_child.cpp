// Presentation on the SDL host, as a player runs the game: the game's own
// WinMain on the SDL host, wrapped in a host that only counts and times the
// frames it forwards. After the playing time it tells the game it lost the
// focus (as SDL would) and measures the CPU the process then uses while the
// game waits in the background; then it closes the game's window.
#include <SDL.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "forwarding_host.h"
#include "startup_child.h"
#include "winapi.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
using vh::platform::Host;
using vh::platform::HostEvent;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Where the kernel has the game's thread sleeping ("do_sys_poll" while it
// waits for the X server), or "running".
std::string wakeChannel(long thread) {
    std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/wchan");
    std::string channel;
    std::getline(file, channel);
    return channel.empty() || channel == "0" ? "running" : channel;
}

void printRenderer() {
    SDL_Window* window = SDL_GetWindowFromID(1);
    SDL_Renderer* renderer = window ? SDL_GetRenderer(window) : nullptr;
    SDL_RendererInfo info{};
    if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0) return;
    std::printf("renderer: %s%s (%s)\n", info.name,
                (info.flags & SDL_RENDERER_PRESENTVSYNC) ? ", vsync" : ", no vsync",
                SDL_GetCurrentVideoDriver());
}

class MeasuringHost final : public bench::ForwardingHost {
  public:
    MeasuringHost(std::unique_ptr<Host> inner, double seconds)
        : ForwardingHost(std::move(inner)), playSeconds_(seconds) {}

    bool pollEvent(HostEvent& event) override {
        if (sendFocusLost_) {
            sendFocusLost_ = false;
            event = HostEvent{HostEvent::FocusLost};
            return true;
        }
        if (closeWanted && !closeSent_) {
            closeSent_ = true;
            event = HostEvent{HostEvent::Close};
            return true;
        }
        return inner_->pollEvent(event);
    }

    bool waitEvent() override {
        ++waits;
        return inner_->waitEvent();
    }

    void present(SDL_Surface* frame) override {
        inner_->present(frame);
        const auto now = Clock::now();
        if (frames == 0) {
            printRenderer();
            firstFrame = now;
            cpuAtFirstFrame = cpuSeconds();
        } else if (!playing_) {
            return;
        } else {
            intervals.push_back(secondsBetween(lastFrame, now));
        }
        lastFrame = now;
        ++frames;
        if (secondsBetween(firstFrame, now) >= playSeconds_) {
            playing_ = false;
            cpuAtLastFrame = cpuSeconds();
            sendFocusLost_ = true;
        }
    }

    bool playing() const { return playing_; }

    std::atomic<bool> closeWanted{false};
    std::atomic<int> waits{0};
    std::atomic<int> frames{0};
    Clock::time_point firstFrame, lastFrame;
    double cpuAtFirstFrame = 0, cpuAtLastFrame = 0;
    std::vector<double> intervals;

  private:
    double playSeconds_;
    std::atomic<bool> playing_{true};
    bool sendFocusLost_ = false;
    bool closeSent_ = false;
};

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int presentChild(double seconds, double backgroundSeconds) {
    auto owned = std::make_unique<MeasuringHost>(vh::platform::makeSdlHost(), seconds);
    MeasuringHost& host = *owned;
    vh::platform::setHost(std::move(owned));
    if (chdir(VARNHOLT_ASSETS_DIR) != 0) return 2;

    const long gameThread = syscall(SYS_gettid);
    double backgroundCpu = -1;
    int backgroundWaits = -1;
    std::string channel;
    std::atomic<bool> gameOver{false};
    std::thread watcher([&] {
        while ((host.playing() || host.frames == 0) && !gameOver)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (gameOver) return;  // it never got going: no display, say
        // Give the game a moment to take the focus loss and go to sleep.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double cpuBefore = cpuSeconds();
        const int waitsBefore = host.waits;
        std::this_thread::sleep_for(std::chrono::duration<double>(backgroundSeconds));
        channel = wakeChannel(gameThread);
        backgroundWaits = host.waits - waitsBefore;
        backgroundCpu = cpuSeconds() - cpuBefore;
        host.closeWanted = true;
        SDL_Event wake{};
        wake.type = SDL_USEREVENT;
        SDL_PushEvent(&wake);  // ends the game's wait so that it sees the close
    });

    static char module;
    char commandLine[] = "";
    const int exitCode =
        WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, commandLine, SW_SHOWDEFAULT);
    gameOver = true;
    watcher.join();
    if (host.frames < 2) {
        std::printf("the game presented %d frames; exit code %d\n", host.frames.load(), exitCode);
        return 1;
    }

    const double played = secondsBetween(host.firstFrame, host.lastFrame);
    const int counted = host.frames.load() - 1;  // intervals between the first and the last frame
    std::printf("frames: %d in %.2f s\n", host.frames.load(), played);
    std::printf("frames per second: %.1f\n", counted / played);
    std::printf("median frame interval: %.2f ms\n", median(host.intervals) * 1e3);
    std::printf("CPU per frame: %.3f ms\n",
                (host.cpuAtLastFrame - host.cpuAtFirstFrame) / counted * 1e3);
    std::printf("CPU share while playing: %.1f %%\n",
                (host.cpuAtLastFrame - host.cpuAtFirstFrame) / played * 100);
    std::printf("background: %.3f s CPU in %.1f s, %d waits ended, game thread in %s\n",
                backgroundCpu, backgroundSeconds, backgroundWaits, channel.c_str());
    std::printf("exit code: %d\n", exitCode);
    return exitCode;
}

}  // namespace bench
