// The Windows layer's process-wide state, and a fresh start for tests.
#include "winapi_state.h"

namespace vh::platform {

// Never destroyed: objects of other modules that outlive main (a DirectDraw
// object released by a static destructor, say) may still reach the host and
// the object lists while the process ends. The game's window closes the
// host's window on its way out already.
WinapiState& winapiState() {
    static auto* state = new WinapiState();
    return *state;
}

void resetWinapiState() {
    WinapiState& state = winapiState();
    // Whether calls are journalled is the run's choice, not a case's.
    const bool journalOn = state.journal.on;
    state.journal = JournalState{};
    state.journal.on = journalOn;
    state.timers = ForcedTimers{};
    state.user32.messages = MessageQueue{};
    state.gdiplus.unreadableNamed.clear();
    state.gdiplus.toldOfMoreUnreadable = false;
    // The host stays, and so do window classes, windows, DirectDraw, GDI and
    // GDI+ objects: they belong to whoever made them, and are counted live
    // until released.
}

}  // namespace vh::platform
