// The call journal and the injected results that tests ask for.
#include <algorithm>
#include <vector>

#include "internal.h"
#include "varnholt/platform_test.h"

namespace vh::platform {
namespace {

struct Injection {
    std::string name;
    int64_t result;
    int remaining;  // negative: every call
    const void* object;
};

std::vector<Injection>& injections() {
    static std::vector<Injection> list;
    return list;
}

// Names are the string literals of the calls themselves, so recording one
// costs no allocation beyond the vector's own growth.
struct Entry {
    const char* name;
    const void* object;
    int64_t result;
};

std::vector<Entry>& calls() {
    static std::vector<Entry> list;
    return list;
}

}  // namespace

std::optional<int64_t> injected(const char* name, const void* object) {
    auto& list = injections();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->name != name || (it->object && it->object != object)) continue;
        int64_t result = it->result;
        if (it->remaining > 0 && --it->remaining == 0) list.erase(it);
        record(name, object, result);
        return result;
    }
    return std::nullopt;
}

bool journalEnabled = false;

void enableJournal(bool enabled) {
    journalEnabled = enabled;
}

void record(const char* name, const void* object, int64_t result) {
    if (!journalEnabled) return;
    // The journal is bounded so that a long headless run cannot grow without end.
    auto& list = calls();
    if (list.size() >= 1000000) list.erase(list.begin(), list.begin() + 500000);
    list.push_back({name, object, result});
}

}  // namespace vh::platform

namespace vh::test {

void injectResult(const std::string& name, int64_t result, int times, const void* object) {
    if (times == 0) return;
    vh::platform::injections().push_back({name, result, times, object});
}

void clearInjections() {
    vh::platform::injections().clear();
}

std::vector<Call> journal() {
    std::vector<Call> out;
    for (const auto& entry : vh::platform::calls())
        out.push_back({entry.name, entry.object, entry.result});
    return out;
}

void clearJournal() {
    vh::platform::calls().clear();
}

std::vector<std::string> journalNames(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const auto& call : vh::platform::calls()) {
        if (names.empty() ||
            std::find(names.begin(), names.end(), std::string(call.name)) != names.end())
            out.push_back(call.name);
    }
    return out;
}

void resetHooks() {
    clearInjections();
    clearJournal();
    vh::platform::resetTimerOverrides();
    vh::platform::resetHostHooks();
}

}  // namespace vh::test
