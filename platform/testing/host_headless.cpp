// The headless host.
#include "host_headless.h"

#include <cstring>

namespace vh::platform {
namespace {

constexpr int64_t kDefaultFramePeriod = 16 * kNanosecondsPerMillisecond;
// The desktop that GetSystemMetrics reports before the game sets a mode.
constexpr int kDesktopWidth = 1920;
constexpr int kDesktopHeight = 1080;

}  // namespace

HeadlessHost::HeadlessHost() : framePeriod_(kDefaultFramePeriod) {}

bool HeadlessHost::openWindow(std::string& whyNot) {
    if (!displayAvailable_) {
        whyNot = "cannot open a display: no display (headless host without one)";
        return false;
    }
    windowOpen_ = true;
    return true;
}

void HeadlessHost::enterFullScreen(int width, int height) {
    modeWidth_ = width;
    modeHeight_ = height;
}

int HeadlessHost::screenWidth() {
    return modeWidth_ ? modeWidth_ : kDesktopWidth;
}

int HeadlessHost::screenHeight() {
    return modeHeight_ ? modeHeight_ : kDesktopHeight;
}

bool HeadlessHost::pollEvent(HostEvent& event) {
    if (events_.empty()) return false;
    event = events_.front();
    events_.pop_front();
    return true;
}

// Nothing will ever arrive on its own: the idle handler is the only source.
bool HeadlessHost::waitEvent() {
    if (events_.empty() && onIdle_) {
        auto idle = onIdle_;  // the handler may replace itself
        idle();
    }
    return !events_.empty();
}

void HeadlessHost::present(SDL_Surface* frame) {
    if (frame) keep(frame);
    ++frameCount_;
    now_ += framePeriod_;
    if (onPresent_) {
        auto handler = onPresent_;  // the handler may replace itself
        handler(frameCount_);
    }
}

void HeadlessHost::reset() {
    events_.clear();
    onPresent_ = nullptr;
    onIdle_ = nullptr;
    framePeriod_ = kDefaultFramePeriod;
}

// Keeps a copy of the frame: one memcpy, the same work a real host does when
// it uploads the frame. The buffer is reused, so a steady run allocates
// nothing per frame; the conversion to a Picture waits until a test asks.
void HeadlessHost::keep(SDL_Surface* frame) {
    const size_t bytes = size_t(frame->pitch) * size_t(frame->h);
    if (frame_.bytes.size() != bytes) frame_.bytes.resize(bytes);
    bool locked = SDL_MUSTLOCK(frame) && SDL_LockSurface(frame) == 0;
    std::memcpy(frame_.bytes.data(), frame->pixels, bytes);
    if (locked) SDL_UnlockSurface(frame);
    frame_.width = frame->w;
    frame_.height = frame->h;
    frame_.pitch = frame->pitch;
    frame_.format = frame->format->format;
}

}  // namespace vh::platform
