// The fault sweep's parts: its table of failures (failures.cpp), and one
// replay of its scripted game with the verdict on it (replay.cpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "art_check.h"

namespace faultsweep {

struct Failure {
    const char* name;
    std::vector<int64_t> answers;
    bool afterWork = false;
};

const Failure* failureOf(const std::string& name);  // nullptr: not in the table
extern const std::set<std::string> kCannotFail;
extern const std::map<std::string, const char*> kWrongForGoodAsIntended;
extern const std::set<std::string> kLoadingCalls;
extern const std::map<std::string, const char*> kEndsTheGameAsIntended;

// A failure point: the call that fails, which of its calls, and how.
struct Fault {
    std::string name;
    int occurrence = -1;  // -1: no fault, the recording
    int64_t answer = 0;
    bool afterWork = false;
    bool startUp = false;  // before the first flip
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

// Outcomes as text, from the replay's process to the sweep's.
std::string encode(const Outcome& o);
std::optional<Outcome> decode(std::istream& in);  // what is after it stays in `in`

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

const char* verdictName(Verdict verdict);
inline bool passed(Verdict verdict) {
    return verdict <= Verdict::StartUpFailed;
}
Verdict judge(const Fault& point, const Outcome& o);
// The point in words: the call, its occurrence and the answer it is given.
std::string describe(const Fault& point);

}  // namespace faultsweep
