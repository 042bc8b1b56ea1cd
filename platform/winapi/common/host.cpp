// The one host that serves the process.
#include "varnholt/host.h"

#include <cstdio>
#include <cstdlib>

#include "winapi_state.h"

namespace vh::platform {

Host& host() {
    auto& installed = winapiState().host;
    if (!installed) {
        // Whoever starts the game installs its host first; a platform call
        // without one is a program's own fault, told plainly.
        std::fputs("varnholt: no host was installed before the first platform call\n", stderr);
        std::abort();
    }
    return *installed;
}

void setHost(std::unique_ptr<Host> host) {
    winapiState().host = std::move(host);
}

}  // namespace vh::platform
