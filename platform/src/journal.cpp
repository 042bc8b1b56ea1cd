// The call journal and the chosen answers.
#include "journal.h"

namespace vh::platform {
namespace {

struct Choice {
    std::string name;
    int64_t result;
    int remaining;  // negative: every call
    const void* object;
};

std::vector<Choice>& choices() {
    static std::vector<Choice> list;
    return list;
}

// Names are the string literals of the calls themselves, so recording one
// costs no allocation beyond the vector's own growth.
std::vector<journal::Entry>& calls() {
    static std::vector<journal::Entry> list;
    return list;
}

bool journalOn = false;

// The journal is bounded so that a long headless run cannot grow without end.
constexpr size_t kMaxEntries = 1000000;

}  // namespace

std::optional<int64_t> injected(const char* name, const void* object) {
    auto& list = choices();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->name != name || (it->object && it->object != object)) continue;
        int64_t result = it->result;
        if (it->remaining > 0 && --it->remaining == 0) list.erase(it);
        record(name, object, result);
        return result;
    }
    return std::nullopt;
}

void record(const char* name, const void* object, int64_t result) {
    if (!journalOn) return;
    auto& list = calls();
    if (list.size() >= kMaxEntries) list.erase(list.begin(), list.begin() + kMaxEntries / 2);
    list.push_back({name, object, result});
}

namespace journal {

void enable(bool enabled) {
    journalOn = enabled;
}

const std::vector<Entry>& entries() {
    return calls();
}

void clear() {
    calls().clear();
}

void choose(const std::string& name, int64_t result, int times, const void* object) {
    if (times == 0) return;
    choices().push_back({name, result, times, object});
}

void clearChoices() {
    choices().clear();
}

}  // namespace journal
}  // namespace vh::platform
