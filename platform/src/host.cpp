// The one host that serves the process, and how the executable picks it.
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace vh::platform {
namespace {

// The holder is never destroyed: objects of other modules that outlive main
// (a DirectDraw object released by a static destructor, say) may still reach
// the host while the process ends. The game's window closes the host's window
// on its way out already.
std::unique_ptr<Host>& currentHost() {
    static auto* current = new std::unique_ptr<Host>();
    return *current;
}

}  // namespace

Host& host() {
    // A program that chose no host gets the one its environment asks for, so
    // that a tool linking the platform without a main of ours still works.
    if (!currentHost()) selectHostFromEnvironment();
    return *currentHost();
}

void setHost(std::unique_ptr<Host> host) {
    currentHost() = std::move(host);
}

void selectHostFromEnvironment() {
    const char* wanted = std::getenv("VARNHOLT_HOST");
    if (wanted && std::strcmp(wanted, "headless") == 0) {
        setHost(makeHeadlessHost());
        enableJournal(true);
    } else {
        setHost(makeSdlHost());
        enableJournal(false);
    }
}

}  // namespace vh::platform
