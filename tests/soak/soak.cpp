// A long headless game: random pointer motion and clicks, the focus lost and
// regained every few thousand frames (every surface lost and restored), the
// display lost mid-play, and now and then a restore that fails. After every
// restore that succeeded, the next frame must show the art and no restored
// garbage; after warm-up, the resident size and the count of live platform
// objects must stay flat.
//
//   varnholt_soak [--frames N] [--seed S] [--end-with-failed-restore]
//
// --end-with-failed-restore makes the primary surface's restore fail on one
// return to the foreground, which ends the game; the run must then end there,
// cleanly, with 0. Prints its figures and exits 0 when all held, 1 otherwise.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/application.h"
#include "art_check.h"
#include "display/sprite.h"
#include "display/sprite_registry.h"
#include "varnholt/platform_test.h"

namespace {

struct Options {
    long frames = 1000000;
    unsigned seed = 1;
    bool endWithFailedRestore = false;
};

double residentMegabytes() {
    long pages = 0, resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return 0.0;
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;  // its quarantine keeps freed memory
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

class Soak {
  public:
    explicit Soak(const Options& options) : options_(options), random_(options.seed) {}

    int run();

  private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int oneIn) { return pick(1, oneIn) == 1; }

    void onPresent(int frame);
    void onIdle();
    void movePointer();
    void click();
    void loseFocus(int frame);
    void loseDisplay(int frame);
    void checkPicture(int frame, const char* after);
    void measureWarm(int frame);
    bool primaryRestoreFailed();
    void fail(int frame, const std::string& what);
    int report(int exitCode);

    Options options_;
    std::mt19937 random_;
    artcheck::Art art_;
    long nextFocusLoss_ = 0;
    long nextDisplayLoss_ = 0;
    int idles_ = 0;
    int idlesBeforeReturn_ = 0;
    bool failSpriteRestore_ = false;
    bool failPrimaryRestore_ = false;
    bool expectFailedRestore_ = false;
    const char* checkNextFrame_ = nullptr;  // why the next frame is checked
    int restingFrames_ = 0;
    int pointerX_ = 600, pointerY_ = 400;
    long framesPlayed_ = 0;

    // Figures.
    long focusCycles_ = 0, failedSpriteRestores_ = 0, displayLosses_ = 0;
    long failedFlipRestores_ = 0, checkedFrames_ = 0, moves_ = 0, clicks_ = 0;
    double residentStart_ = 0, residentWarm_ = 0, residentEnd_ = 0;
    int liveWarm_ = 0, liveEnd_ = 0;
    int failures_ = 0;
};

void Soak::fail(int frame, const std::string& what) {
    if (++failures_ <= 20) std::fprintf(stderr, "soak: frame %d: %s\n", frame, what.c_str());
}

void Soak::movePointer() {
    // The pointer rests a while (the map scrolls in the bands), then jumps.
    if (restingFrames_-- > 0) return;
    pointerX_ = pick(0, 1023);
    pointerY_ = pick(0, 767);
    restingFrames_ = chance(4) ? pick(1, 30) : 0;
    vh::test::mouseMove(pointerX_, pointerY_);
    ++moves_;
}

void Soak::click() {
    // Half of the clicks on the tab buttons, so the panels change.
    int x = chance(2) ? pick(32, 223) : pick(0, 1023);
    int y = chance(2) ? pick(240, 303) : pick(0, 767);
    vh::test::mouseRelease(chance(5) ? 2 : 1, x, y);
    ++clicks_;
}

void Soak::loseFocus(int frame) {
    ++focusCycles_;
    idles_ = 0;
    idlesBeforeReturn_ = pick(1, 3);
    failSpriteRestore_ = chance(4);
    failPrimaryRestore_ = options_.endWithFailedRestore && focusCycles_ == 2;
    vh::test::focusLost();
    nextFocusLoss_ = frame + pick(2000, 5000);
}

// Every surface loses its memory mid-play; the next flip finds out. Now and
// then the primary surface's restore fails once and the flip after retries.
void Soak::loseDisplay(int frame) {
    ++displayLosses_;
    vh::test::loseAllSurfaces();
    expectFailedRestore_ = chance(2);
    if (expectFailedRestore_) {
        ++failedFlipRestores_;
        vh::test::injectResult("IDirectDrawSurface::Restore", DDERR_SURFACELOST, 1,
                               Application::instance().primarySurface);
    }
    checkNextFrame_ = "a lost display";
    nextDisplayLoss_ = frame + pick(3000, 9000);
}

void Soak::onIdle() {
    // In the background: time passes, the pointer moves over other windows.
    vh::test::advanceTime(pick(100, 5000));
    if (++idles_ < idlesBeforeReturn_) {
        vh::test::mouseMove(pick(0, 1023), pick(0, 767));
        return;
    }
    Application& app = Application::instance();
    if (failPrimaryRestore_) {
        vh::test::injectResult("IDirectDrawSurface::Restore", DDERR_SURFACELOST, 1,
                               app.primarySurface);
    } else if (failSpriteRestore_) {
        // One sprite's surface stays lost; the game goes on, and the next
        // restore that succeeds must bring the whole picture back.
        std::vector<IDirectDrawSurface*> surfaces;
        for (Sprite* sprite : SpriteRegistry::instance().slots)
            if (sprite && sprite->frames[0][0]) surfaces.push_back(sprite->frames[0][0]);
        IDirectDrawSurface* victim = surfaces[size_t(pick(0, int(surfaces.size()) - 1))];
        vh::test::injectResult("IDirectDrawSurface::Restore", DDERR_OUTOFMEMORY, 1, victim);
        ++failedSpriteRestores_;
    } else {
        checkNextFrame_ = "a return to the foreground";
    }
    vh::test::focusGained();
}

void Soak::checkPicture(int frame, const char* after) {
    ++checkedFrames_;
    const artcheck::Findings found =
        artcheck::check(vh::test::presentedFrame(), art_, Application::instance());
    if (!found.right()) fail(frame, found.describe() + " after " + after);
}

void Soak::measureWarm(int frame) {
    residentWarm_ = residentMegabytes();
    liveWarm_ = vh::test::liveObjectCount();
    std::printf("soak: frame %d (warm): resident %.1f MB, %d live platform objects\n", frame,
                residentWarm_, liveWarm_);
}

// Whether, since the previous frame, the primary surface's restore failed
// (and so the flip after it had to try again).
bool Soak::primaryRestoreFailed() {
    for (const vh::test::Call& call : vh::test::journal())
        if (call.name == "IDirectDrawSurface::Restore" &&
            call.object == Application::instance().primarySurface &&
            call.result == DDERR_SURFACELOST)
            return true;
    return false;
}

void Soak::onPresent(int frame) {
    framesPlayed_ = frame;
    if (checkNextFrame_) {
        if (expectFailedRestore_ && !primaryRestoreFailed())
            fail(frame, "the injected restore failure never happened");
        expectFailedRestore_ = false;
        vh::test::clearInjections();
        checkPicture(frame, checkNextFrame_);
        checkNextFrame_ = nullptr;
        // Warm once a tenth of the run is over and a few checked frames have
        // been copied: the allocator settles how it serves copies that size.
        if (!liveWarm_ && checkedFrames_ >= 3 && frame >= options_.frames / 10) measureWarm(frame);
    }
    // The journal is for checks like the one above; a long run must not keep it.
    vh::test::clearJournal();
    if (frame == 1) {
        residentStart_ = residentMegabytes();
        std::printf("soak: frame 1: resident %.1f MB\n", residentStart_);
        nextFocusLoss_ = pick(2000, 5000);
        nextDisplayLoss_ = pick(3000, 9000);
    }
    if (frame >= options_.frames) {
        // Measured before the game releases its display.
        liveEnd_ = vh::test::liveObjectCount();
        residentEnd_ = residentMegabytes();
        vh::test::keyPress(VK_ESCAPE);
        return;
    }
    if (frame % 100000 == 0) {
        std::printf("soak: frame %d\n", frame);
        std::fflush(stdout);
    }

    movePointer();
    if (chance(100)) click();
    if (frame >= nextFocusLoss_) {
        loseFocus(frame);
    } else if (frame >= nextDisplayLoss_) {
        loseDisplay(frame);
    }
}

int Soak::report(int exitCode) {
    if (options_.endWithFailedRestore) residentEnd_ = residentMegabytes();
    std::printf(
        "soak: %ld frames, exit code %d\n"
        "soak: %ld focus cycles (%ld with a failed sprite restore), %ld display losses "
        "(%ld with a failed restore on the flip)\n"
        "soak: %ld frames checked against the art, %ld pointer moves, %ld clicks\n"
        "soak: resident %.1f MB at the start, %.1f MB after warm-up, %.1f MB at the end\n",
        framesPlayed_, exitCode, focusCycles_, failedSpriteRestores_, displayLosses_,
        failedFlipRestores_, checkedFrames_, moves_, clicks_, residentStart_, residentWarm_,
        residentEnd_);
    std::fflush(stdout);
    if (exitCode != 0) fail(int(framesPlayed_), "the game ended with " + std::to_string(exitCode));
    if (options_.endWithFailedRestore) {
        if (framesPlayed_ >= options_.frames)
            fail(int(framesPlayed_), "the failed restore did not end the game");
        if (Application::instance().directDraw)
            fail(int(framesPlayed_), "the display outlived the game");
    } else {
        if (framesPlayed_ != options_.frames) fail(int(framesPlayed_), "the game ended early");
        if (!liveWarm_) fail(int(framesPlayed_), "too short a run to warm up");
        if (liveEnd_ != liveWarm_)
            fail(int(framesPlayed_), "live platform objects grew from " +
                                         std::to_string(liveWarm_) + " to " +
                                         std::to_string(liveEnd_));
        // A little slack for the allocator's own bookkeeping.
        if (!kUnderAddressSanitizer && residentEnd_ - residentWarm_ > 2.0)
            fail(int(framesPlayed_), "the resident size grew after warm-up");
    }
    std::printf("soak: %s\n", failures_ ? "FAILED" : "passed");
    return failures_ ? 1 : 0;
}

int Soak::run() {
    if (chdir(VARNHOLT_ASSETS_DIR) != 0) {
        std::fprintf(stderr, "soak: no art folder at %s\n", VARNHOLT_ASSETS_DIR);
        return 1;
    }
    vh::test::useHeadlessHost();
    if (!art_.load()) {
        std::fprintf(stderr, "soak: the art could not be read from %s\n", VARNHOLT_ASSETS_DIR);
        return 1;
    }
    vh::test::onPresent([this](int frame) { onPresent(frame); });
    vh::test::onIdle([this] { onIdle(); });
    char commandLine[] = "";
    int exitCode =
        WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, SW_SHOWDEFAULT);
    return report(exitCode);
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--frames") == 0 && hasValue) {
            options.frames = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && hasValue) {
            options.seed = unsigned(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--end-with-failed-restore") == 0) {
            options.endWithFailedRestore = true;
        } else {
            return false;
        }
    }
    return options.frames >= 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: varnholt_soak [--frames N] [--seed S] [--end-with-failed-restore]\n");
        return 2;
    }
    std::printf("soak: %ld frames, seed %u\n", options.frames, options.seed);
    return Soak(options).run();
}
