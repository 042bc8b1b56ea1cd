// The call journal and the injected answers.
#include "varnholt/journal.h"
#include "winapi_state.h"

namespace vh::platform {
namespace {

std::vector<Injection>& injections() {
    return winapiState().journal.injections;
}

// Names are the string literals of the calls themselves, so recording one
// costs no allocation beyond the vector's own growth.
std::vector<journal::Entry>& calls() {
    return winapiState().journal.calls;
}

// The journal is bounded so that a long headless run cannot grow without end.
constexpr size_t kMaxEntries = 1000000;

// The first injection that answers this call, used up by one; an injection still
// letting calls through counts this one instead. Calls that answer only in
// place of their work (`afterWorkToo` false) neither see nor count the
// injections made for after the work.
std::optional<InjectedAnswer> take(const char* name, const void* object, bool afterWorkToo) {
    auto& list = injections();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->name != name || (it->object && it->object != object)) continue;
        if (it->afterWork && !afterWorkToo) continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        InjectedAnswer injected{it->result, it->afterWork};
        if (it->remaining > 0 && --it->remaining == 0) list.erase(it);
        return injected;
    }
    return std::nullopt;
}

}  // namespace

std::optional<InjectedAnswer> injectedAnswer(const char* name, const void* object) {
    if (injections().empty()) return std::nullopt;  // the player's path: nothing injected
    return take(name, object, true);
}

std::optional<int64_t> injected(const char* name, const void* object) {
    if (injections().empty()) return std::nullopt;
    auto injected = take(name, object, false);
    if (!injected) return std::nullopt;
    record(name, object, injected->result);
    return injected->result;
}

uint64_t startCall() {
    auto& journal = winapiState().journal;
    return journal.on ? ++journal.callsStarted : 0;
}

void record(const char* name, const void* object, int64_t result, uint64_t started) {
    auto& journal = winapiState().journal;
    if (!journal.on) return;
    auto& list = calls();
    if (list.size() >= kMaxEntries) list.erase(list.begin(), list.begin() + kMaxEntries / 2);
    list.push_back({name, object, result, started ? started : ++journal.callsStarted});
}

namespace journal {

void enable(bool enabled) {
    winapiState().journal.on = enabled;
}

const std::vector<Entry>& entries() {
    return calls();
}

void clear() {
    calls().clear();
}

void inject(const std::string& name, int64_t result, int times, const void* object, int skip,
            bool afterWork) {
    if (times == 0) return;
    injections().push_back({name, result, times, object, skip > 0 ? skip : 0, afterWork});
}

int pendingInjections() {
    return int(injections().size());
}

void clearInjections() {
    injections().clear();
}

}  // namespace journal
}  // namespace vh::platform
