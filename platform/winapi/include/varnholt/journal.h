// The call journal and the injected answers. Every platform call the game makes
// goes through `journalled`: when an answer was injected for it, the call
// returns that at once; otherwise it does its work, and what it answered is
// written to the journal while the journal is on. An answer injected for after
// the work replaces what the call answered once it has done its work. A
// player's process keeps the journal off and chooses no answers, so a call
// costs one test of an empty list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace vh::platform {

struct InjectedAnswer {
    int64_t result;
    bool afterWork;
};
// The answer injected for this call, if any, used up.
std::optional<InjectedAnswer> injectedAnswer(const char* name, const void* object);
// The answer injected to be given instead of the work, used up and journalled;
// for calls that answer by hand.
std::optional<int64_t> injected(const char* name, const void* object);
// A call journals itself when it returns, after any calls it made; the
// place it took among the calls when it started is journalled with it. 0
// while the journal is off, and for `record`: the call starts as it returns.
uint64_t startCall();
void record(const char* name, const void* object, int64_t result, uint64_t started = 0);

// Handles and pointers travel through the journal as integers (0 is NULL,
// -1 is HGDI_ERROR).
template <typename R>
R fromJournal(int64_t value) {
    if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(static_cast<intptr_t>(value));
    else
        return static_cast<R>(value);
}

template <typename R>
int64_t toJournal(R value) {
    if constexpr (std::is_pointer_v<R>)
        return static_cast<int64_t>(reinterpret_cast<intptr_t>(value));
    else
        return static_cast<int64_t>(value);
}

// Journals a result and answers it, for calls that return from several places.
template <typename R>
R recorded(const char* name, const void* object, R result, uint64_t started = 0) {
    record(name, object, toJournal(result), started);
    return result;
}

// The shape of a platform call: answer an injected result if there is one,
// otherwise do the work and journal what it answered.
template <typename Work>
auto journalled(const char* name, const void* object, Work&& work) -> decltype(work()) {
    using R = decltype(work());
    const uint64_t started = startCall();
    const auto injected = injectedAnswer(name, object);
    if (injected && !injected->afterWork) {
        record(name, object, injected->result, started);
        return fromJournal<R>(injected->result);
    }
    R result = work();
    if (injected) result = fromJournal<R>(injected->result);
    return recorded(name, object, result, started);
}

namespace journal {

struct Entry {
    const char* name;  // the string literal the call was journalled with
    const void* object;
    int64_t result;
    uint64_t started;  // its place among the calls in the order they started
};

void enable(bool enabled);
const std::vector<Entry>& entries();
void clear();

// The next `times` calls named `name` (negative: all of them), on `object`
// when it is not null, answer `result` without doing their work; the first
// `skip` of those calls are let through first. With `afterWork` the calls do
// their work and only their answer is replaced.
void inject(const std::string& name, int64_t result, int times, const void* object, int skip = 0,
            bool afterWork = false);
// Injections not used up yet.
int pendingInjections();
void clearInjections();

}  // namespace journal
}  // namespace vh::platform
