// The test hooks: the headless host and its scripted input and time, the
// journal and injected answers, forced timer values, and the pixels and live
// objects of DirectDraw, GDI and GDI+.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ddraw_private.h"
#include "gdi_private.h"
#include "gdiplus_private.h"
#include "image_decode.h"
#include "varnholt/journal.h"
#include "timers.h"
#include "user32_private.h"
#include "windows_path.h"
#include "winapi_state.h"
#include "host_headless.h"
#include "pictures.h"

namespace vh::test {
namespace {

using vh::platform::HeadlessHost;
using vh::platform::HostEvent;

// The hooks that script input and time work on the installed host, which
// must be the headless one.
HeadlessHost& headless() {
    auto* installed = dynamic_cast<HeadlessHost*>(&vh::platform::host());
    if (!installed) {
        std::fprintf(stderr, "test hooks: install the headless host first (useHeadlessHost)\n");
        std::abort();
    }
    return *installed;
}

int64_t toNanoseconds(double milliseconds) {
    return std::llround(milliseconds * double(vh::platform::kNanosecondsPerMillisecond));
}

SDL_Surface* pixelsOf(IDirectDrawSurface* surface) {
    return surface ? static_cast<vh::platform::dd::SurfaceObject*>(surface)->pixels() : nullptr;
}

}  // namespace

const int kNoInputQuitCode = vh::platform::kNoInputQuitCode;
const uint32_t kRestoredFill = vh::platform::dd::kRestoredFill;

// ---- Hosts -------------------------------------------------------------------

void useHeadlessHost() {
    vh::platform::setHost(std::make_unique<HeadlessHost>());
    vh::platform::journal::enable(true);
}

void setHeadlessDisplayAvailable(bool available) {
    headless().setDisplayAvailable(available);
}

// ---- Scripted input ----------------------------------------------------------

void mouseMove(int x, int y) {
    headless().queue({HostEvent::MouseMove, x, y});
}

void mouseRelease(int button, int x, int y) {
    headless().queue({HostEvent::MouseRelease, x, y, button});
}

void keyPress(unsigned virtualKey) {
    headless().queue({HostEvent::KeyPress, 0, 0, 0, virtualKey});
}

void focusLost() {
    headless().queue({HostEvent::FocusLost});
}

void focusGained() {
    headless().queue({HostEvent::FocusGained});
}

void closeRequest() {
    headless().queue({HostEvent::Close});
}

std::vector<SDL_Surface*> windowIcons() {
    return headless().windowIcons();
}

void onPresent(std::function<void(int frame)> handler) {
    headless().onPresent(std::move(handler));
}

void onIdle(std::function<void()> handler) {
    headless().onIdle(std::move(handler));
}

// ---- Time --------------------------------------------------------------------

void advanceTime(double milliseconds) {
    if (milliseconds > 0) headless().advance(toNanoseconds(milliseconds));
}

void setFramePeriod(double milliseconds) {
    headless().setFramePeriod(milliseconds > 0 ? toNanoseconds(milliseconds) : 0);
}

void setPerformanceFrequency(int64_t countsPerSecond) {
    vh::platform::forcedTimers().frequency = countsPerSecond;
}

void setPerformanceCounter(int64_t count) {
    vh::platform::forcedTimers().counter = count;
}

void setTimeGetTime(uint32_t milliseconds) {
    vh::platform::forcedTimers().milliseconds = milliseconds;
}

void clearTimerOverrides() {
    vh::platform::forcedTimers() = {};
}

// ---- Failures, injected answers and the journal --------------------------------

void injectResult(const std::string& name, int64_t result, int times, const void* object) {
    vh::platform::journal::inject(name, result, times, object);
}

void injectResultAt(const std::string& name, int occurrence, int64_t result, bool afterWork) {
    vh::platform::journal::inject(name, result, 1, nullptr, occurrence, afterWork);
}

int pendingInjections() {
    return vh::platform::journal::pendingInjections();
}

void clearInjections() {
    vh::platform::journal::clearInjections();
}

std::vector<Call> journal() {
    std::vector<Call> out;
    for (const auto& entry : vh::platform::journal::entries())
        out.push_back({entry.name, entry.object, entry.result, entry.started});
    return out;
}

void clearJournal() {
    vh::platform::journal::clear();
}

std::vector<std::string> journalNames(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const auto& call : vh::platform::journal::entries()) {
        if (names.empty() ||
            std::find(names.begin(), names.end(), std::string(call.name)) != names.end())
            out.push_back(call.name);
    }
    return out;
}

void setJournalEnabled(bool enabled) {
    vh::platform::journal::enable(enabled);
}

void resetHooks() {
    vh::platform::resetWinapiState();
    if (auto* installed = dynamic_cast<HeadlessHost*>(&vh::platform::host())) installed->reset();
}

// ---- Pixels ------------------------------------------------------------------

Picture presentedFrame() {
    const auto& kept = headless().keptFrame();
    if (kept.bytes.empty()) return {};
    return toPicture(kept.width, kept.height, kept.format, kept.bytes.data(), kept.pitch);
}

int presentedFrameCount() {
    return headless().presentedFrames();
}

Picture surfacePixels(IDirectDrawSurface* surface) {
    SDL_Surface* pixels = pixelsOf(surface);
    if (!pixels) return {};
    return toPicture(pixels->w, pixels->h, pixels->format->format, pixels->pixels, pixels->pitch);
}

uint32_t surfaceRawPixel(IDirectDrawSurface* surface, int x, int y) {
    SDL_Surface* pixels = pixelsOf(surface);
    return vh::platform::containsPixel(pixels, x, y) ? vh::platform::readPixel(pixels, x, y) : 0;
}

void setSurfaceRawPixel(IDirectDrawSurface* surface, int x, int y, uint32_t value) {
    SDL_Surface* pixels = pixelsOf(surface);
    if (!vh::platform::containsPixel(pixels, x, y)) return;
    // Writing under a lock keeps a run-length encoded sprite in step.
    if (SDL_LockSurface(pixels) != 0) return;
    vh::platform::writePixel(pixels, x, y, value);
    SDL_UnlockSurface(pixels);
}

SDL_Surface* sdlSurface(IDirectDrawSurface* surface) {
    return pixelsOf(surface);
}

void loseAllSurfaces() {
    vh::platform::loseAllSurfaces();
}

bool displayForeground() {
    return vh::platform::displayForeground();
}

void setDisplayForeground(bool foreground) {
    vh::platform::setDisplayForeground(foreground);
}

int liveObjectCount() {
    using namespace vh::platform;
    return dd::liveDirectDrawObjects() + dd::liveSurfaces() + dd::liveClippers() +
           gdi::liveObjectCount() + gdiplus::liveImageCount();
}

// ---- Images ------------------------------------------------------------------

Picture decodeImageFile(const std::string& path, uint32_t background) {
    namespace image = vh::platform::image;
    image::DecodeError error;
    SDL_Surface* argb = image::decode(path, error);
    if (!argb) return {};
    SDL_Surface* composed = image::composeOverBackground(argb, background);
    SDL_FreeSurface(argb);
    if (!composed) return {};
    Picture picture = toPicture(composed->w, composed->h, composed->format->format,
                                composed->pixels, composed->pitch);
    SDL_FreeSurface(composed);
    return picture;
}

std::string resolveWindowsPath(const std::string& windowsPath) {
    return vh::platform::resolveWindowsPath(windowsPath);
}

}  // namespace vh::test
