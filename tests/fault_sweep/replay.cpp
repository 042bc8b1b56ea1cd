// One replay: the scripted game played with one platform call failing, or
// none for the recording, and the verdict on what became of it.
#include <cstdio>
#include <iterator>
#include <sstream>

#include "app/application.h"
#include "app/result_code.h"
#include "display/sprite.h"
#include "display/sprite_registry.h"
#include "fault_sweep.h"
#include "varnholt/platform_test.h"

namespace faultsweep {

std::string Session::checkPicture() {
    const artcheck::Findings found =
        artcheck::check(vh::test::presentedFrame(), art_, Application::instance());
    return found.right() ? "right" : found.describe();
}

// Where the script clicks a tab button or rests the pointer, and on which frame.
struct PointerStep {
    int frame;
    bool click;
    int x, y;
};
constexpr PointerStep kPointerSteps[] = {
    {kClickPros, true, 100, 250},   {kClickMvr, true, 170, 250},  {kClickAmb, true, 40, 250},
    {kRestRight, false, 1000, 400}, {kRestLeft, false, 270, 400}, {kRestBottom, false, 600, 760},
    {kRestTop, false, 600, 10}};

void Session::onPresent(int frame) {
    outcome_.frames = frame;
    for (const PointerStep& step : kPointerSteps) {
        if (step.frame != frame) continue;
        if (step.click)
            vh::test::mouseRelease(1, step.x, step.y);
        else
            vh::test::mouseMove(step.x, step.y);
    }
    switch (frame) {
        case kLoseFocus:
            inBackground_ = true;
            vh::test::focusLost();
            break;
        case kLoseDisplay:
            vh::test::loseAllSurfaces();
            break;
        case kFirstCheck:
            outcome_.firstCheck = checkPicture();
            break;
        case kCheckAgain:
            // A fault in the checked frame's own drawing is over by now.
            if (outcome_.firstCheck != "right") outcome_.firstCheck = checkPicture();
            vh::test::loseAllSurfaces();
            break;
        case kSecondCheck:
            outcome_.secondCheck = checkPicture();
            outcome_.reachedEnd = true;
            break;
        default:
            break;
    }
    // Escape, and again while the game goes on: one press may be the one lost.
    if (frame >= kSecondCheck && frame <= kLastEscape) vh::test::keyPress(VK_ESCAPE);
}

// In the background: time passes, the pointer crosses other windows, and
// the player comes back. A game waiting when it should not is woken the way
// a player would, by coming back to it, a few times.
void Session::onIdle() {
    vh::test::advanceTime(2000);
    if (++idles_ > 8) return;  // nothing queued: the headless host ends the game
    if (inBackground_ && idles_ == 1) {
        vh::test::mouseMove(500, 500);
        return;
    }
    inBackground_ = false;
    vh::test::focusGained();
}

Outcome Session::play() {
    vh::test::useHeadlessHost();
    vh::test::onPresent([this](int frame) { onPresent(frame); });
    vh::test::onIdle([this] { onIdle(); });
    if (fault_.occurrence >= 0)
        vh::test::injectResultAt(fault_.name, fault_.occurrence, fault_.answer, fault_.afterWork);

    char commandLine[] = "";
    outcome_.exitCode =
        WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, SW_SHOWDEFAULT);

    const auto journal = vh::test::journal();
    for (const auto& call : journal) journal_.push_back({call.name, call.started});
    if (fault_.occurrence >= 0) {
        outcome_.fired = vh::test::pendingInjections() == 0;
        // Up to the failed call the replay must have journalled what the
        // recording did; the calls the failed one would have made inside it
        // come before it in the recording only.
        const size_t at = placeOf(journal, fault_.name, fault_.occurrence);
        bool same = recording_ && at < journal.size() && at < recording_->size() &&
                    journal[at].result == fault_.answer;
        for (size_t i = 0; same && i < at; ++i) same = journal[i].name == (*recording_)[i].name;
        outcome_.diverged = outcome_.fired && !same;
    }

    // With the display given back, only the sprites' surfaces live on: the
    // sprites live until the process ends. A failed start-up keeps what it
    // made, as intended, and the process ends.
    outcome_.live = vh::test::liveObjectCount();
    if (!Application::instance().directDraw) {
        outcome_.expectedLive = 0;
        for (Sprite* sprite : SpriteRegistry::instance().slots)
            if (sprite)
                for (const auto& row : sprite->frames)
                    for (IDirectDrawSurface* surface : row)
                        outcome_.expectedLive += surface != nullptr;
    }
    return outcome_;
}

std::string encode(const Outcome& o) {
    std::ostringstream out;
    out << o.exitCode << '\n'
        << o.frames << '\n'
        << o.fired << '\n'
        << o.diverged << '\n'
        << o.reachedEnd << '\n'
        << o.live << '\n'
        << o.expectedLive << '\n'
        << o.firstCheck << '\n'
        << o.secondCheck << '\n';
    return out.str();
}

std::optional<Outcome> decode(std::istream& in) {
    Outcome o;
    if (!(in >> o.exitCode >> o.frames >> o.fired >> o.diverged >> o.reachedEnd >> o.live >>
          o.expectedLive))
        return std::nullopt;
    in.ignore(1);
    if (!std::getline(in, o.firstCheck) || !std::getline(in, o.secondCheck)) return std::nullopt;
    return o;
}

const char* verdictName(Verdict verdict) {
    static const char* const kNames[] = {"clean",   "after restore", "intended", "ends game",
                                         "0x10082", "CRASH",         "HANG",     "SANITIZER",
                                         "LEAK",    "EXIT CODE",     "DIVERGED", "NOT FIRED",
                                         "PICTURE", "ENDED",         "OBJECTS"};
    static_assert(std::size(kNames) == size_t(Verdict::LiveObjects) + 1, "a name for each");
    return kNames[size_t(verdict)];
}

// The game's own code for a start-up whose display could not be set up.
constexpr int kDisplaySetUpFailed = result::kStartUpFailed | result::kPlatformFailed;

Verdict judge(const Fault& point, const Outcome& o) {
    if (!o.fired) return Verdict::NeverFired;
    if (o.diverged) return Verdict::Diverged;
    if (o.exitCode == vh::test::kNoInputQuitCode) return Verdict::Hang;
    if (o.exitCode == kDisplaySetUpFailed)
        return point.startUp ? Verdict::StartUpFailed : Verdict::ExitCode;
    if (o.exitCode != 0) return Verdict::ExitCode;
    if (o.expectedLive >= 0 && o.live != o.expectedLive) return Verdict::LiveObjects;
    // Only on its return from the background may the game end itself.
    if (!o.reachedEnd)
        return kEndsTheGameAsIntended.count(point.name) && o.frames == kLoseFocus
                   ? Verdict::EndedAsIntended
                   : Verdict::EndedEarly;
    if (o.firstCheck == "right") return Verdict::Clean;
    if (o.secondCheck == "right" && kLoadingCalls.count(point.name))
        return Verdict::RightAfterRestore;
    if (point.startUp && kWrongForGoodAsIntended.count(point.name)) return Verdict::WrongAsIntended;
    return Verdict::WrongPicture;
}

std::string describe(const Fault& point) {
    char answer[32];
    std::snprintf(answer, sizeof answer, "0x%llX",
                  static_cast<unsigned long long>(point.answer) & 0xFFFFFFFFull);
    return point.name + " #" + std::to_string(point.occurrence) + " answering " + answer +
           (point.afterWork ? " after its work" : "") + (point.startUp ? " (start-up)" : "");
}

}  // namespace faultsweep
