// The fault sweep: every platform call of a whole game, failed in turn.
//
// A scripted headless game (start-up, a click on each tab, a rest in each
// scroll band, the focus lost and regained, the display lost mid-game, a
// check of the picture, another loss of the display and a second check,
// Escape) is played once with the call journal on. It is then played again
// once for every call in that journal, every occurrence of it, with that one
// call failing as its documentation says it may (a DirectDraw error, a NULL
// handle, a GDI+ status, ...), each replay in a child process of its own with
// a watchdog. A replay passes when it
//   - neither crashes nor hangs (the headless host ends a game that waits
//     for input that never comes; the watchdog ends any other),
//   - gets no report from the sanitizers, leaks included, in a sanitized build,
//   - ends with 0, or with 0x10082 when the failure was in the display set-up,
//   - when the game played on, shows the art again: at the first check, or,
//     when a picture could not be loaded, at the second, after the display
//     was restored once more (a picture is loaded again only with a restore),
//     or is one of the start-up failures that leave a picture wrong for good
//     on purpose,
//   - and leaves alive no platform object but the sprites' surfaces.
//
//   varnholt_fault_sweep [--every N] [--only NAME] [--jobs J] [--timeout S]
//   varnholt_fault_sweep --replay POINT        one replay, in this process
//   varnholt_fault_sweep --list                the failure points, numbered
//
// --every N sweeps every Nth point and the first point of every call, for a
// short run. Prints the points swept by call and their outcomes; exits 0
// when every replay passed, 1 otherwise, 2 on a usage error.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "art_check.h"
#include "display/sprite.h"
#include "display/sprite_registry.h"
#include "varnholt/platform_test.h"

namespace {

// ---- The failures ------------------------------------------------------------

// How each platform call the game makes can fail, as its documentation gives
// it. Where the game tells failures apart, each is swept. Calls that give
// something back (a lock, a device context, an image) fail after doing their
// work: the failure is reported, and what was to be given back is not kept,
// since no caller could do anything about it.
struct Failure {
    const char* name;
    std::vector<int64_t> answers;
    bool afterWork = false;
};

const std::vector<Failure>& failures() {
    using namespace Gdiplus;
    static const std::vector<Failure> list = {
        {"RegisterClassA", {0}},
        {"CreateWindowExA", {0}},
        {"GetSystemMetrics", {0}},
        {"LoadIconA", {0}},
        {"LoadCursorA", {0}},
        {"DestroyWindow", {FALSE}},
        {"GetMessageA", {-1}},
        {"WaitMessage", {FALSE}},
        {"QueryPerformanceFrequency", {FALSE}},
        {"QueryPerformanceCounter", {FALSE}},
        {"DirectDrawCreate", {DDERR_NODIRECTDRAWHW}},
        {"IDirectDraw::SetCooperativeLevel", {DDERR_INVALIDPARAMS}},
        {"IDirectDraw::SetDisplayMode", {DDERR_INVALIDMODE}},
        {"IDirectDraw::CreateSurface", {DDERR_OUTOFMEMORY}},
        {"IDirectDraw::CreateClipper", {DDERR_OUTOFMEMORY}},
        {"IDirectDrawClipper::SetHWnd", {DDERR_INVALIDPARAMS}},
        {"IDirectDrawSurface::GetAttachedSurface", {DDERR_NOTFOUND}},
        {"IDirectDrawSurface::SetClipper", {DDERR_INVALIDOBJECT}},
        {"IDirectDrawSurface::SetColorKey", {DDERR_SURFACELOST}},
        {"IDirectDrawSurface::Lock", {DDERR_WASSTILLDRAWING, DDERR_SURFACELOST}},
        {"IDirectDrawSurface::Unlock", {DDERR_SURFACELOST}, true},
        {"IDirectDrawSurface::GetDC", {DDERR_SURFACELOST}},
        {"IDirectDrawSurface::ReleaseDC", {DDERR_GENERIC}, true},
        {"IDirectDrawSurface::Blt", {DDERR_SURFACELOST}},
        {"IDirectDrawSurface::Flip", {DDERR_SURFACELOST, DDERR_GENERIC}},
        {"IDirectDrawSurface::Restore", {DDERR_OUTOFMEMORY}},
        {"GetPixel", {CLR_INVALID}},
        {"SetPixel", {int64_t(CLR_INVALID)}},
        {"CreateCompatibleDC", {0}},
        {"GetMapMode", {0}},
        {"SetMapMode", {0}},
        {"SelectObject", {0}},
        {"SetStretchBltMode", {0}},
        {"StretchBlt", {FALSE}},
        {"DeleteDC", {FALSE}, true},
        {"GetObjectA", {0}},
        {"DeleteObject", {FALSE}, true},
        {"GdiplusStartup", {GenericError}},
        {"GdipAlloc", {0}},
        {"GdipCreateBitmapFromFile", {OutOfMemory, GenericError}},
        {"GdipCreateHBITMAPFromBitmap", {OutOfMemory, GenericError}},
        {"GdipDisposeImage", {GenericError}, true},
    };
    return list;
}

// Calls with no failure to give: reference counts, calls that answer nothing,
// and calls whose answer is not a success or failure but a message's result
// or a message itself. The window procedure is the platform calling the game.
const std::set<std::string> kCannotFail = {
    "IDirectDraw::AddRef",
    "IDirectDraw::Release",
    "IDirectDrawSurface::AddRef",
    "IDirectDrawSurface::Release",
    "IDirectDrawClipper::AddRef",
    "IDirectDrawClipper::Release",
    "GdipFree",
    "GdiplusShutdown",
    "PostQuitMessage",
    "PeekMessageA",
    "TranslateMessage",
    "DispatchMessageA",
    "DefWindowProcA",
    "ShowWindow",
    "timeGetTime",
    "WindowProc",
};

const Failure* failureOf(const std::string& name) {
    for (const Failure& failure : failures())
        if (name == failure.name) return &failure;
    return nullptr;
}

// Start-up failures that leave a picture wrong for the rest of the game, as
// the game intends: nothing makes, keys or matches again what start-up could
// not.
const std::map<std::string, const char*> kWrongForGoodAsIntended = {
    {"IDirectDraw::CreateSurface",
     "a sprite whose surface could not be made is left out; nothing makes it again"},
    {"IDirectDrawSurface::SetColorKey",
     "a sprite without its colour key cannot be drawn with it; the key is set once"},
    {"IDirectDrawSurface::Lock",
     "the colour key is matched once, at start-up; without it every sprite has the wrong key"},
    {"IDirectDrawSurface::GetDC",
     "the colour key is matched once, at start-up; without it every sprite has the wrong key"},
    {"SetPixel",
     "the colour key is matched once, at start-up; without it every sprite has the wrong key"},
    {"GdiplusStartup", "without GDI+ no picture can be loaded"},
};

// Calls whose failure leaves a picture unloaded until the display is next
// restored, as the game intends: a picture that could not be loaded or copied
// into its sprite is loaded again only with the next restore of the surfaces.
const std::set<std::string> kLoadingCalls = {
    "GdipAlloc",    "GdipCreateBitmapFromFile",  "GdipCreateHBITMAPFromBitmap",
    "GetObjectA",   "IDirectDrawSurface::GetDC", "CreateCompatibleDC",
    "SelectObject", "SetStretchBltMode",         "StretchBlt",
};

// A failed restore on the return to the foreground ends the game, as intended.
const std::map<std::string, const char*> kEndsTheGameAsIntended = {
    {"IDirectDrawSurface::Restore",
     "a surface that cannot be restored on the return to the foreground ends the game"},
};

// ---- The scripted game -------------------------------------------------------

struct Fault {
    std::string name;
    int occurrence = -1;  // -1: no fault, the recording
    int64_t answer = 0;
    bool afterWork = false;
};

// A call of the recorded journal.
struct Recorded {
    std::string name;
    uint64_t started;  // its place in the order the calls started
};

// Where in a journal the `occurrence`-th call named `name` is, counting the
// calls as they started, which is how a chosen failure counts them: a call
// is journalled when it returns, after the calls it made. The journal's size
// when there is none.
template <typename Entry>
size_t placeOf(const std::vector<Entry>& journal, const std::string& name, int occurrence) {
    std::vector<std::pair<uint64_t, size_t>> calls;
    for (size_t i = 0; i < journal.size(); ++i)
        if (journal[i].name == name) calls.push_back({journal[i].started, i});
    if (occurrence < 0 || size_t(occurrence) >= calls.size()) return journal.size();
    std::sort(calls.begin(), calls.end());
    return calls[size_t(occurrence)].second;
}

struct Outcome {
    int exitCode = 0;
    int frames = 0;
    bool fired = false;     // the fault happened
    bool diverged = false;  // at another place than in the recording
    bool reachedEnd = false;
    std::string firstCheck = "none";  // "right" or what was wrong
    std::string secondCheck = "none";
    int live = -1;  // live platform objects after the game, and how many
    int expectedLive = -1;
};

// The frames at which the script acts, as a game without faults numbers them;
// a fault that costs a frame only delays what follows.
enum Step {
    kClickPros = 2,
    kClickMvr = 3,
    kClickAmb = 4,
    kRestRight = 5,
    kRestLeft = 7,
    kRestBottom = 9,
    kRestTop = 11,
    kLoseFocus = 13,
    kLoseDisplay = 15,
    kFirstCheck = 18,
    kCheckAgain = 19,
    kSecondCheck = 21,
    kLastEscape = 26,
};

class Session {
  public:
    // `recording` is the journal of the game without a fault, which a replay
    // must follow up to its fault; none for the recording itself.
    Session(const Fault& fault, const artcheck::Art& art, const std::vector<Recorded>* recording)
        : fault_(fault), art_(art), recording_(recording) {}
    Outcome play();
    // The recording: every call's name in order.
    const std::vector<Recorded>& journal() const { return journal_; }

  private:
    void onPresent(int frame);
    void onIdle();
    std::string checkPicture();

    Fault fault_;
    const artcheck::Art& art_;
    const std::vector<Recorded>* recording_;
    Outcome outcome_;
    int idles_ = 0;
    bool inBackground_ = false;
    std::vector<Recorded> journal_;
};

std::string Session::checkPicture() {
    const artcheck::Findings found =
        artcheck::check(vh::test::presentedFrame(), art_, Application::instance());
    return found.right() ? "right" : found.describe();
}

void Session::onPresent(int frame) {
    outcome_.frames = frame;
    switch (frame) {
        case kClickPros:
            vh::test::mouseRelease(1, 100, 250);
            break;
        case kClickMvr:
            vh::test::mouseRelease(1, 170, 250);
            break;
        case kClickAmb:
            vh::test::mouseRelease(1, 40, 250);
            break;
        case kRestRight:
            vh::test::mouseMove(1000, 400);
            break;
        case kRestLeft:
            vh::test::mouseMove(270, 400);
            break;
        case kRestBottom:
            vh::test::mouseMove(600, 760);
            break;
        case kRestTop:
            vh::test::mouseMove(600, 10);
            break;
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

// ---- Outcomes as text between the replay and the sweep -------------------------

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

std::optional<Outcome> decode(const std::string& text) {
    std::istringstream in(text);
    Outcome o;
    if (!(in >> o.exitCode >> o.frames >> o.fired >> o.diverged >> o.reachedEnd >> o.live >>
          o.expectedLive))
        return std::nullopt;
    in.ignore(1);
    if (!std::getline(in, o.firstCheck) || !std::getline(in, o.secondCheck)) return std::nullopt;
    return o;
}

// ---- The points and the verdicts -------------------------------------------------

struct Point {
    Fault fault;
    bool startUp;  // before the first flip
};

enum class Verdict {
    // Passed.
    Clean,              // the art at the first check
    RightAfterRestore,  // the art again once the display was restored
    WrongAsIntended,    // a start-up failure that leaves a picture wrong for good
    EndedAsIntended,    // the game ended itself, as it should on this failure
    StartUpFailed,      // 0x10082: the display could not be set up
    // Failed.
    Crash,
    Hang,
    Sanitizer,
    Leak,
    ExitCode,
    Diverged,
    NeverFired,
    WrongPicture,
    EndedEarly,
    LiveObjects,
};

const char* verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Clean:
            return "clean";
        case Verdict::RightAfterRestore:
            return "after restore";
        case Verdict::WrongAsIntended:
            return "intended";
        case Verdict::EndedAsIntended:
            return "ends game";
        case Verdict::StartUpFailed:
            return "0x10082";
        case Verdict::Crash:
            return "CRASH";
        case Verdict::Hang:
            return "HANG";
        case Verdict::Sanitizer:
            return "SANITIZER";
        case Verdict::Leak:
            return "LEAK";
        case Verdict::ExitCode:
            return "EXIT CODE";
        case Verdict::Diverged:
            return "DIVERGED";
        case Verdict::NeverFired:
            return "NOT FIRED";
        case Verdict::WrongPicture:
            return "PICTURE";
        case Verdict::EndedEarly:
            return "ENDED";
        case Verdict::LiveObjects:
            return "OBJECTS";
    }
    return "?";
}

bool passed(Verdict verdict) {
    return verdict <= Verdict::StartUpFailed;
}

constexpr int kStartUpFailed = 0x10082;

Verdict judge(const Point& point, const Outcome& o) {
    if (!o.fired) return Verdict::NeverFired;
    if (o.diverged) return Verdict::Diverged;
    if (o.exitCode == vh::test::kHeadlessStall) return Verdict::Hang;
    if (o.exitCode == kStartUpFailed)
        return point.startUp ? Verdict::StartUpFailed : Verdict::ExitCode;
    if (o.exitCode != 0) return Verdict::ExitCode;
    if (o.expectedLive >= 0 && o.live != o.expectedLive) return Verdict::LiveObjects;
    // Only on its return from the background may the game end itself.
    if (!o.reachedEnd)
        return kEndsTheGameAsIntended.count(point.fault.name) && o.frames == kLoseFocus
                   ? Verdict::EndedAsIntended
                   : Verdict::EndedEarly;
    if (o.firstCheck == "right") return Verdict::Clean;
    if (o.secondCheck == "right" && kLoadingCalls.count(point.fault.name))
        return Verdict::RightAfterRestore;
    if (point.startUp && kWrongForGoodAsIntended.count(point.fault.name))
        return Verdict::WrongAsIntended;
    return Verdict::WrongPicture;
}

std::string describe(const Point& point) {
    char answer[32];
    std::snprintf(answer, sizeof answer, "0x%llX",
                  static_cast<unsigned long long>(point.fault.answer) & 0xFFFFFFFFull);
    return point.fault.name + " #" + std::to_string(point.fault.occurrence) + " answering " +
           answer + (point.fault.afterWork ? " after its work" : "") +
           (point.startUp ? " (start-up)" : "");
}

// ---- Child processes --------------------------------------------------------------

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Plays the session in a child process with stderr to `errors` and its
// outcome (or, for the recording, its journal) to `result`.
pid_t startChild(const Fault& fault, const artcheck::Art& art,
                 const std::vector<Recorded>* recording, const std::string& result,
                 const std::string& errors, int timeoutSeconds) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, STDERR_FILENO);
    int nothing = open("/dev/null", O_WRONLY);
    if (nothing >= 0) dup2(nothing, STDOUT_FILENO);
    alarm(unsigned(timeoutSeconds));  // the watchdog: its signal ends a hung game
    Session session(fault, art, recording);
    Outcome outcome = session.play();
    std::ofstream out(result, std::ios::binary);
    out << encode(outcome);
    // The recording hands on its journal too.
    if (fault.occurrence < 0)
        for (const Recorded& call : session.journal())
            out << call.started << ' ' << call.name << '\n';
    out.close();
    std::exit(0);  // through exit, so that LeakSanitizer looks
}

struct Finished {
    int status = 0;
    bool timedOut = false;
};

// A child the sweep waits for, and when it gives up on it: the watchdog's
// signal should have ended it long before.
struct Child {
    pid_t pid;
    std::chrono::steady_clock::time_point giveUp;
};

Child watch(pid_t pid, int timeoutSeconds) {
    return {pid, std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds + 10)};
}

// Waits until one of the children ends, or is ended for outliving its time;
// its index among them.
size_t waitForOne(const std::vector<Child>& children, Finished& finished) {
    for (;;) {
        int status = 0;
        pid_t ended = waitpid(-1, &status, WNOHANG);
        for (size_t i = 0; i < children.size(); ++i) {
            if (ended > 0 && children[i].pid == ended) {
                finished = {status, false};
                return i;
            }
        }
        const auto now = std::chrono::steady_clock::now();
        for (size_t i = 0; i < children.size(); ++i) {
            if (now <= children[i].giveUp) continue;
            kill(children[i].pid, SIGKILL);
            waitpid(children[i].pid, &status, 0);
            finished = {status, true};
            return i;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// ---- The sweep ---------------------------------------------------------------------

struct Options {
    int every = 1;
    std::string only;
    int jobs = 2;
    int timeout = 60;
    int replay = -1;
    bool list = false;
};

struct Result {
    Verdict verdict;
    std::string detail;
};

class Sweep {
  public:
    explicit Sweep(const Options& options) : options_(options) {}
    int run();

  private:
    bool record();
    void choosePoints();
    Result judgeChild(const Point& point, const Finished& finished, const std::string& result,
                      const std::string& errors);
    int replayHere(int index);
    int report(double seconds);

    Options options_;
    artcheck::Art art_;
    std::string scratch_;
    std::vector<Recorded> journal_;
    std::vector<Point> points_;
    std::vector<size_t> chosen_;
    std::map<size_t, Result> results_;
    std::map<std::string, int> cannotFail_;
};

// The game without a fault: it must pass every check itself, and its journal
// is the list of calls to fail.
bool Sweep::record() {
    const std::string result = scratch_ + "/recording", errors = scratch_ + "/recording.err";
    Finished finished;
    pid_t pid = startChild(Fault{}, art_, nullptr, result, errors, options_.timeout);
    waitForOne({watch(pid, options_.timeout)}, finished);
    const std::string text = readWhole(result);
    std::optional<Outcome> outcome = decode(text);
    std::istringstream in(text);
    std::string line;
    for (int skip = 0; skip < 9 && std::getline(in, line); ++skip) {
    }
    for (Recorded call; in >> call.started && in.ignore(1) && std::getline(in, call.name);)
        journal_.push_back(call);
    const bool clean = outcome && outcome->exitCode == 0 && outcome->reachedEnd &&
                       outcome->firstCheck == "right" && outcome->secondCheck == "right" &&
                       outcome->live == outcome->expectedLive;
    const bool exited =
        !finished.timedOut && WIFEXITED(finished.status) && WEXITSTATUS(finished.status) == 0;
    std::remove(result.c_str());
    if (!exited || !clean || journal_.empty()) {
        std::fprintf(stderr, "fault sweep: the game without a fault did not pass\n%s%s",
                     outcome ? encode(*outcome).c_str() : "", readWhole(errors).c_str());
        return false;
    }
    std::remove(errors.c_str());
    return true;
}

void Sweep::choosePoints() {
    // Each call's occurrence among the calls of its name, as they started.
    std::map<std::string, std::vector<std::pair<uint64_t, size_t>>> byName;
    for (size_t i = 0; i < journal_.size(); ++i)
        byName[journal_[i].name].push_back({journal_[i].started, i});
    std::vector<int> occurrences(journal_.size());
    for (auto& [name, calls] : byName) {
        std::sort(calls.begin(), calls.end());
        for (size_t k = 0; k < calls.size(); ++k) occurrences[calls[k].second] = int(k);
    }
    const size_t firstFlip = placeOf(journal_, "IDirectDrawSurface::Flip", 0);
    std::set<std::string> unknown;
    for (size_t i = 0; i < journal_.size(); ++i) {
        const std::string& name = journal_[i].name;
        const int occurrence = occurrences[i];
        if (kCannotFail.count(name)) {
            ++cannotFail_[name];
            continue;
        }
        const Failure* failure = failureOf(name);
        if (!failure) {
            unknown.insert(name);
            continue;
        }
        for (int64_t answer : failure->answers)
            points_.push_back({{name, occurrence, answer, failure->afterWork}, i < firstFlip});
    }
    for (const std::string& name : unknown)
        std::fprintf(stderr, "fault sweep: the game calls %s, which no table here lists\n",
                     name.c_str());
    if (!unknown.empty()) std::exit(1);

    std::set<std::string> seen;
    for (size_t i = 0; i < points_.size(); ++i) {
        const Fault& fault = points_[i].fault;
        if (!options_.only.empty() && fault.name != options_.only) continue;
        const bool first = seen.insert(fault.name).second;
        if (first || i % size_t(options_.every) == 0) chosen_.push_back(i);
    }
}

Result Sweep::judgeChild(const Point& point, const Finished& finished, const std::string& result,
                         const std::string& errors) {
    const std::string said = readWhole(errors);
    auto firstLines = [&said] {
        std::istringstream in(said);
        std::string out, line;
        for (int n = 0; n < 12 && std::getline(in, line); ++n) out += "    " + line + "\n";
        return out;
    };
    if (finished.timedOut) return {Verdict::Hang, "killed after the watchdog's time"};
    if (WIFSIGNALED(finished.status)) {
        const int signal = WTERMSIG(finished.status);
        if (signal == SIGALRM) return {Verdict::Hang, "the watchdog ended it"};
        return {Verdict::Crash,
                std::string("ended by signal ") + strsignal(signal) + "\n" + firstLines()};
    }
    if (WEXITSTATUS(finished.status) != 0) {
        const bool leak = said.find("LeakSanitizer") != std::string::npos;
        return {
            leak ? Verdict::Leak : Verdict::Sanitizer,
            "exit status " + std::to_string(WEXITSTATUS(finished.status)) + "\n" + firstLines()};
    }
    auto outcome = decode(readWhole(result));
    if (!outcome) return {Verdict::Crash, "no outcome\n" + firstLines()};
    const Verdict verdict = judge(point, *outcome);
    char detail[512];
    std::snprintf(detail, sizeof detail,
                  "exit code 0x%X after %d frames; first check: %s; second check: %s; "
                  "%d live objects (%d expected)",
                  unsigned(outcome->exitCode), outcome->frames, outcome->firstCheck.c_str(),
                  outcome->secondCheck.c_str(), outcome->live, outcome->expectedLive);
    return {verdict, detail};
}

int Sweep::replayHere(int index) {
    if (index < 0 || size_t(index) >= points_.size()) {
        std::fprintf(stderr, "fault sweep: no point %d (0 to %zu)\n", index, points_.size() - 1);
        return 2;
    }
    const Point& point = points_[size_t(index)];
    std::printf("fault sweep: point %d: %s\n", index, describe(point).c_str());
    std::fflush(stdout);
    Outcome outcome = Session(point.fault, art_, &journal_).play();
    const Verdict verdict = judge(point, outcome);
    std::printf("%s", encode(outcome).c_str());
    std::printf("fault sweep: %s\n", verdictName(verdict));
    return passed(verdict) ? 0 : 1;
}

int Sweep::run() {
    char pattern[] = "/tmp/varnholt-sweep-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("fault sweep: mkdtemp");
        return 1;
    }
    scratch_ = pattern;
    // The game finds its art in the working directory; every replay inherits
    // it and the art the checks compare with.
    if (chdir(VARNHOLT_ASSETS_DIR) != 0 || !art_.load()) {
        std::fprintf(stderr, "fault sweep: no art at %s\n", VARNHOLT_ASSETS_DIR);
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    if (!record()) return 1;
    choosePoints();
    if (options_.list) {
        for (size_t i = 0; i < points_.size(); ++i)
            std::printf("%zu %s\n", i, describe(points_[i]).c_str());
        return 0;
    }
    if (options_.replay >= 0) return replayHere(options_.replay);

    std::printf(
        "fault sweep: %zu calls recorded; %zu failure points, %zu of them swept, %d at a "
        "time\n",
        journal_.size(), points_.size(), chosen_.size(), options_.jobs);
    struct Running {
        size_t point;
        std::string result, errors;
    };
    std::vector<Child> children;
    std::vector<Running> running;
    size_t next = 0, done = 0;
    while (next < chosen_.size() || !running.empty()) {
        while (next < chosen_.size() && int(running.size()) < options_.jobs) {
            const size_t index = chosen_[next++];
            const std::string base = scratch_ + "/" + std::to_string(index);
            pid_t pid = startChild(points_[index].fault, art_, &journal_, base + ".out",
                                   base + ".err", options_.timeout);
            children.push_back(watch(pid, options_.timeout));
            running.push_back({index, base + ".out", base + ".err"});
        }
        Finished finished;
        const size_t which = waitForOne(children, finished);
        const Running job = running[which];
        children.erase(children.begin() + long(which));
        running.erase(running.begin() + long(which));
        const Point& point = points_[job.point];
        Result result = judgeChild(point, finished, job.result, job.errors);
        if (!passed(result.verdict))
            std::printf("fault sweep: point %zu, %s: %s: %s\n", job.point, describe(point).c_str(),
                        verdictName(result.verdict), result.detail.c_str());
        results_[job.point] = result;
        std::remove(job.result.c_str());
        std::remove(job.errors.c_str());
        if (++done % 200 == 0) {
            std::printf("fault sweep: %zu of %zu replayed\n", done, chosen_.size());
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report(seconds);
}

int Sweep::report(double seconds) {
    constexpr Verdict kColumns[] = {Verdict::Clean, Verdict::RightAfterRestore,
                                    Verdict::WrongAsIntended, Verdict::EndedAsIntended,
                                    Verdict::StartUpFailed};
    std::map<std::string, std::map<Verdict, int>> byCall;
    std::map<Verdict, int> totals;
    int failedPoints = 0;
    for (const auto& [index, result] : results_) {
        ++byCall[points_[index].fault.name][result.verdict];
        ++totals[result.verdict];
        if (!passed(result.verdict)) ++failedPoints;
    }
    std::printf("\n%-40s %6s", "call", "points");
    for (Verdict v : kColumns) std::printf(" %13s", verdictName(v));
    std::printf(" %7s\n", "FAILED");
    auto row = [&](const std::string& name, std::map<Verdict, int>& counts) {
        int all = 0, failed = 0;
        for (const auto& [verdict, count] : counts) {
            all += count;
            if (!passed(verdict)) failed += count;
        }
        std::printf("%-40s %6d", name.c_str(), all);
        for (Verdict v : kColumns) std::printf(" %13d", counts[v]);
        std::printf(" %7d\n", failed);
    };
    for (auto& [name, counts] : byCall) row(name, counts);
    row("all", totals);

    std::printf("\nnot swept, no failure to give:");
    for (const auto& [name, count] : cannotFail_) std::printf(" %s %d,", name.c_str(), count);
    std::printf("\n");
    std::set<std::string> reasons;
    for (const auto& [index, result] : results_) {
        const std::string& name = points_[index].fault.name;
        if (result.verdict == Verdict::WrongAsIntended)
            reasons.insert(name + ": " + kWrongForGoodAsIntended.at(name));
        if (result.verdict == Verdict::EndedAsIntended)
            reasons.insert(name + ": " + kEndsTheGameAsIntended.at(name));
    }
    for (const std::string& reason : reasons) std::printf("intended: %s\n", reason.c_str());
    std::printf("\nfault sweep: %zu failure points swept in %.0f s: %d passed, %d failed",
                results_.size(), seconds, int(results_.size()) - failedPoints, failedPoints);
    for (const auto& [verdict, count] : totals)
        if (!passed(verdict)) std::printf(", %d %s", count, verdictName(verdict));
    std::printf("\n");
    rmdir(scratch_.c_str());
    return failedPoints == 0 ? 0 : 1;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--every") == 0 && hasValue) {
            options.every = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--only") == 0 && hasValue) {
            options.only = argv[++i];
        } else if (std::strcmp(argv[i], "--jobs") == 0 && hasValue) {
            options.jobs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--timeout") == 0 && hasValue) {
            options.timeout = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--replay") == 0 && hasValue) {
            options.replay = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--list") == 0) {
            options.list = true;
        } else {
            return false;
        }
    }
    return options.every >= 1 && options.jobs >= 1 && options.timeout >= 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: varnholt_fault_sweep [--every N] [--only NAME] [--jobs J] "
                     "[--timeout S] [--replay POINT] [--list]\n");
        return 2;
    }
    return Sweep(options).run();
}
