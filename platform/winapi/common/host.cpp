// The one host that serves the process.
#include "varnholt/host.h"

#include <cstdio>
#include <cstdlib>

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
    if (!currentHost()) {
        // Whoever starts the game installs its host first; a platform call
        // without one is a program's own fault, told plainly.
        std::fputs("varnholt: no host was installed before the first platform call\n", stderr);
        std::abort();
    }
    return *currentHost();
}

void setHost(std::unique_ptr<Host> host) {
    currentHost() = std::move(host);
}

}  // namespace vh::platform
