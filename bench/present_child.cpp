// Presentation on the SDL host, as a player runs the game: the game's own
// WinMain on the SDL host, wrapped in a host that only counts and times the
// frames it forwards. The pointer either rests in the middle of the map (a
// still screen) or goes from corner to corner so that the map never stops
// scrolling. After the playing time the host tells the game it lost the
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
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "forwarding_host.h"
#include "varnholt/sdl_host.h"
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

// CPU seconds another process has used (the X server), from /proc; 0 when
// there is none to read.
double processCpuSeconds(long pid) {
    if (pid <= 0) return 0;
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(file, stat);
    size_t end = stat.rfind(')');
    if (end == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (size_t i = end + 2; i <= stat.size(); ++i) {
        if (i == stat.size() || stat[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += stat[i];
        }
    }
    // utime and stime are the 14th and 15th fields; the 3rd is fields[0].
    if (fields.size() < 13) return 0;
    return double(std::atol(fields[11].c_str()) + std::atol(fields[12].c_str())) /
           double(sysconf(_SC_CLK_TCK));
}

long residentKilobytes() {
    std::ifstream file("/proc/self/status");
    std::string line;
    while (std::getline(file, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
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

std::string presenterName() {
    SDL_Window* window = SDL_GetWindowFromID(1);
    SDL_Renderer* renderer = window ? SDL_GetRenderer(window) : nullptr;
    SDL_RendererInfo info{};
    if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0) return "framebuffer";
    return std::string(info.name) + ((info.flags & SDL_RENDERER_PRESENTVSYNC) ? "+vsync" : "");
}

class MeasuringHost final : public bench::ForwardingHost {
  public:
    MeasuringHost(std::unique_ptr<Host> inner, double seconds, bool scroll, long xServer)
        : ForwardingHost(std::move(inner)),
          playSeconds_(seconds),
          scroll_(scroll),
          xServer_(xServer) {}

    bool pollEvent(HostEvent& event) override {
        if (pointerDue_) {
            pointerDue_ = false;
            event = pointerEvent();
            return true;
        }
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
            pointerDue_ = true;
        } else if (frames == kWarmUpFrames) {
            presenter = presenterName();
            firstFrame = now;
            cpuAtFirstFrame = cpuSeconds();
            xAtFirstFrame = processCpuSeconds(xServer_);
            countsAtFirstFrame = presentCounts();
        } else if (!playing_) {
            return;
        } else if (frames > kWarmUpFrames) {
            intervals.push_back(secondsBetween(lastFrame, now));
        }
        lastFrame = now;
        ++frames;
        if (scroll_ && frames % kFramesPerCorner == 0) pointerDue_ = true;
        if (frames > kWarmUpFrames && secondsBetween(firstFrame, now) >= playSeconds_) {
            playing_ = false;
            cpuAtLastFrame = cpuSeconds();
            xAtLastFrame = processCpuSeconds(xServer_);
            countsAtLastFrame = presentCounts();
            residentAtRest = residentKilobytes();
            sendFocusLost_ = true;
        }
    }

    bool playing() const { return playing_; }

    // The first frames (start-up, the pointer's first move) are not timed.
    static constexpr int kWarmUpFrames = 30;
    std::atomic<bool> closeWanted{false};
    std::atomic<int> waits{0};
    std::atomic<int> frames{0};
    Clock::time_point firstFrame, lastFrame;
    double cpuAtFirstFrame = 0, cpuAtLastFrame = 0;
    double xAtFirstFrame = 0, xAtLastFrame = 0;
    PresentCounts countsAtFirstFrame, countsAtLastFrame;
    long residentAtRest = 0;
    std::string presenter;
    std::vector<double> intervals;

  private:
    // Scrolling: the map is 256 pixels wider and taller than the view and
    // scrolls about 667 pixels a second, so the pointer goes from the
    // top-left corner to the bottom-right one and back every 24 frames.
    static constexpr int kFramesPerCorner = 24;

    HostEvent pointerEvent() {
        HostEvent event{HostEvent::MouseMove};
        if (!scroll_) {
            event.x = 640;  // the middle of the map: nothing moves
            event.y = 384;
        } else {
            atTopLeft_ = !atTopLeft_;
            event.x = atTopLeft_ ? 270 : 1010;
            event.y = atTopLeft_ ? 10 : 750;
        }
        return event;
    }

    double playSeconds_;
    bool scroll_;
    long xServer_;
    bool atTopLeft_ = false;
    std::atomic<bool> playing_{true};
    bool pointerDue_ = false;
    bool sendFocusLost_ = false;
    bool closeSent_ = false;
};

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int presentChild(double seconds, double backgroundSeconds, const char* motion) {
    const bool scroll = motion && std::strcmp(motion, "scroll") == 0;
    const char* xServerPid = std::getenv("VARNHOLT_BENCH_XSERVER_PID");
    const long xServer = xServerPid ? std::atol(xServerPid) : 0;
    // The player's settings, with the filter VARNHOLT_BENCH_FILTER names.
    vh::platform::DisplaySettings settings;
    std::string why;
    if (const char* filter = std::getenv("VARNHOLT_BENCH_FILTER"))
        if (!vh::platform::applySetting(settings, "display", "filter", filter, why)) return 2;
    auto owned = std::make_unique<MeasuringHost>(vh::platform::makeSdlHost(settings), seconds,
                                                 scroll, xServer);
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
    if (host.frames <= MeasuringHost::kWarmUpFrames + 1) {
        std::printf("the game presented %d frames; exit code %d\n", host.frames.load(), exitCode);
        return 1;
    }

    const double played = secondsBetween(host.firstFrame, host.lastFrame);
    const int counted = int(host.intervals.size());
    const double cpu = host.cpuAtLastFrame - host.cpuAtFirstFrame;
    const double xCpu = host.xAtLastFrame - host.xAtFirstFrame;
    const int presented = host.countsAtLastFrame.presented - host.countsAtFirstFrame.presented;
    const int skipped = host.countsAtLastFrame.skipped - host.countsAtFirstFrame.skipped;
    std::printf("presenter: %s (%s), %s\n", host.presenter.c_str(), SDL_GetCurrentVideoDriver(),
                scroll ? "scrolling" : "still");
    std::printf("frames: %d in %.2f s, %.1f a second, median interval %.2f ms\n", counted, played,
                counted / played, median(host.intervals) * 1e3);
    std::printf("frames presented %d, skipped %d\n", presented, skipped);
    std::printf("CPU a frame: game %.3f ms, X server %.3f ms\n", cpu / counted * 1e3,
                xCpu / counted * 1e3);
    std::printf("CPU share: game %.1f %%, X server %.1f %%\n", cpu / played * 100,
                xCpu / played * 100);
    std::printf("resident at rest: %.1f MB\n", host.residentAtRest / 1024.0);
    std::printf("background: %.3f s CPU in %.1f s, %d waits ended, game thread in %s\n",
                backgroundCpu, backgroundSeconds, backgroundWaits, channel.c_str());
    std::printf("exit code: %d\n", exitCode);
    // One line for bench/bench_present.sh to tabulate.
    std::printf(
        "summary presenter=%s fps=%.1f game_ms=%.3f x_ms=%.3f game_pct=%.1f x_pct=%.1f "
        "presented=%d skipped=%d rss_mb=%.1f background_cpu_s=%.3f\n",
        host.presenter.c_str(), counted / played, cpu / counted * 1e3, xCpu / counted * 1e3,
        cpu / played * 100, xCpu / played * 100, presented, skipped, host.residentAtRest / 1024.0,
        backgroundCpu);
    return exitCode;
}

}  // namespace bench
