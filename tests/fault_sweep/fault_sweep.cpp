// The fault sweep: every platform call of a whole game, failed in turn.
//
// A scripted headless game (start-up, a click on each tab, a rest in each
// scroll band, the focus lost and regained, the display lost mid-game, a
// check of the picture, another loss of the display and a second check,
// Escape) is played once with the call journal on. It is then played again
// once for every call in that journal, every occurrence of it, with that one
// call failing as its documentation says it may (a DirectDraw error, a NULL
// handle, a GDI+ status, ...: the table in failures.cpp), each replay in a
// child process of its own with a watchdog. A replay passes when it (replay.cpp)
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
#include <vector>

#include "child_process.h"
#include "fault_sweep.h"
#include "image_bytes.h"

namespace {

using namespace faultsweep;

// ---- Child processes --------------------------------------------------------------

// Plays the session in a child process with stderr to `errors` and its
// outcome (or, for the recording, its journal) to `result`. The sweep gives
// up on it and kills it when it outlives its watchdog by far.
childprocess::Child startChild(const Fault& fault, const artcheck::Art& art,
                               const std::vector<Recorded>* recording, const std::string& result,
                               const std::string& errors, int timeoutSeconds) {
    childprocess::Child child;
    child.fork([&] {
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
        return 0;
    });
    child.deadline = childprocess::Clock::now() + std::chrono::seconds(timeoutSeconds + 10);
    return child;
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
    Result judgeChild(const Fault& point, const childprocess::Child& child,
                      const std::string& result, const std::string& errors);
    int replayHere(int index);
    int report(double seconds);

    Options options_;
    artcheck::Art art_;
    std::string scratch_;
    std::vector<Recorded> journal_;
    std::vector<Fault> points_;
    std::vector<size_t> chosen_;
    std::map<size_t, Result> results_;
    std::map<std::string, int> cannotFail_;
};

// The game without a fault: it must pass every check itself, and its journal
// is the list of calls to fail.
bool Sweep::record() {
    const std::string result = scratch_ + "/recording", errors = scratch_ + "/recording.err";
    childprocess::Child child =
        startChild(Fault{}, art_, nullptr, result, errors, options_.timeout);
    child.wait();
    std::ifstream in(result);
    std::optional<Outcome> outcome = decode(in);
    for (Recorded call; in >> call.started && in.ignore(1) && std::getline(in, call.name);)
        journal_.push_back(call);
    const bool clean = outcome && outcome->exitCode == 0 && outcome->reachedEnd &&
                       outcome->firstCheck == "right" && outcome->secondCheck == "right" &&
                       outcome->live == outcome->expectedLive;
    const bool exited = !child.killed && child.code() == 0;
    std::remove(result.c_str());
    if (!exited || !clean || journal_.empty()) {
        std::fprintf(stderr, "fault sweep: the game without a fault did not pass\n%s%s",
                     outcome ? encode(*outcome).c_str() : "",
                     fixture::readFile<std::string>(errors).c_str());
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
            points_.push_back({name, occurrence, answer, failure->afterWork, i < firstFlip});
    }
    for (const std::string& name : unknown)
        std::fprintf(stderr, "fault sweep: the game calls %s, which no table here lists\n",
                     name.c_str());
    if (!unknown.empty()) std::exit(1);

    std::set<std::string> seen;
    for (size_t i = 0; i < points_.size(); ++i) {
        const Fault& fault = points_[i];
        if (!options_.only.empty() && fault.name != options_.only) continue;
        const bool first = seen.insert(fault.name).second;
        if (first || i % size_t(options_.every) == 0) chosen_.push_back(i);
    }
}

Result Sweep::judgeChild(const Fault& point, const childprocess::Child& child,
                         const std::string& result, const std::string& errors) {
    const std::string said = fixture::readFile<std::string>(errors);
    auto firstLines = [&said] {
        std::istringstream in(said);
        std::string out, line;
        for (int n = 0; n < 12 && std::getline(in, line); ++n) out += "    " + line + "\n";
        return out;
    };
    if (child.killed) return {Verdict::Hang, "killed after the watchdog's time"};
    if (WIFSIGNALED(child.status)) {
        const int signal = WTERMSIG(child.status);
        if (signal == SIGALRM) return {Verdict::Hang, "the watchdog ended it"};
        return {Verdict::Crash,
                std::string("ended by signal ") + strsignal(signal) + "\n" + firstLines()};
    }
    if (child.code() != 0) {
        const bool leak = said.find("LeakSanitizer") != std::string::npos;
        return {leak ? Verdict::Leak : Verdict::Sanitizer,
                "exit status " + std::to_string(child.code()) + "\n" + firstLines()};
    }
    std::ifstream in(result);
    auto outcome = decode(in);
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
    const Fault& point = points_[size_t(index)];
    std::printf("fault sweep: point %d: %s\n", index, describe(point).c_str());
    std::fflush(stdout);
    Outcome outcome = Session(point, art_, &journal_).play();
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
    std::vector<childprocess::Child> children;
    std::vector<Running> running;
    size_t next = 0, done = 0;
    while (next < chosen_.size() || !running.empty()) {
        while (next < chosen_.size() && int(running.size()) < options_.jobs) {
            const size_t index = chosen_[next++];
            const std::string base = scratch_ + "/" + std::to_string(index);
            children.push_back(startChild(points_[index], art_, &journal_, base + ".out",
                                          base + ".err", options_.timeout));
            running.push_back({index, base + ".out", base + ".err"});
        }
        const size_t which = childprocess::waitForAny(children);
        const Running job = running[which];
        const Fault& point = points_[job.point];
        Result result = judgeChild(point, children[which], job.result, job.errors);
        children.erase(children.begin() + long(which));
        running.erase(running.begin() + long(which));
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
        ++byCall[points_[index].name][result.verdict];
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
        const std::string& name = points_[index].name;
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
