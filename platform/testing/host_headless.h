// The headless host: no window on any screen, virtual time, and input that
// tests and tools script. It keeps everything as members; the test hooks
// reach it as the installed host.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "varnholt/host.h"

namespace vh::platform {

class HeadlessHost final : public Host {
  public:
    HeadlessHost();
    bool openWindow(std::string& whyNot) override;
    void closeWindow() override { windowOpen_ = false; }
    bool hasDisplay() override { return displayAvailable_; }
    void enterFullScreen(int width, int height) override;
    void leaveFullScreen() override { modeWidth_ = modeHeight_ = 0; }
    int screenWidth() override;
    int screenHeight() override;
    bool pollEvent(HostEvent& event) override;
    bool waitEvent() override;
    void present(SDL_Surface* frame) override;
    int64_t nanoseconds() override { return now_; }
    PresentCounts presentCounts() const override { return {frameCount_, 0, 0}; }
    void setWindowIcon(SDL_Surface* pixels) override { icons_.push_back(pixels); }

    // ---- What the test hooks set and read
    void setDisplayAvailable(bool available) { displayAvailable_ = available; }
    void queue(const HostEvent& event) { events_.push_back(event); }
    void onPresent(std::function<void(int)> handler) { onPresent_ = std::move(handler); }
    void onIdle(std::function<void()> handler) { onIdle_ = std::move(handler); }
    void advance(int64_t nanoseconds) { now_ += nanoseconds; }
    void setFramePeriod(int64_t nanoseconds) { framePeriod_ = nanoseconds; }
    // Forgets queued input, handlers and the frame period a test set.
    void reset();

    // The last presented frame as the game left it: raw pixels in the
    // frame's own format.
    struct KeptFrame {
        int width = 0;
        int height = 0;
        int pitch = 0;
        Uint32 format = 0;
        std::vector<Uint8> bytes;
    };
    const KeptFrame& keptFrame() const { return frame_; }
    const std::vector<SDL_Surface*>& windowIcons() const { return icons_; }
    int presentedFrames() const { return frameCount_; }

  private:
    void keep(SDL_Surface* frame);

    bool displayAvailable_ = true;
    bool windowOpen_ = false;
    int modeWidth_ = 0;  // 0 while the desktop is shown
    int modeHeight_ = 0;
    int64_t now_ = 0;
    int64_t framePeriod_;
    std::deque<HostEvent> events_;
    std::function<void(int)> onPresent_;
    std::function<void()> onIdle_;
    KeptFrame frame_;
    int frameCount_ = 0;
    std::vector<SDL_Surface*> icons_;
};

}  // namespace vh::platform
