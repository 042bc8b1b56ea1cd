// The one host that serves the process, and how the executable picks it.
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace vh::platform {
namespace {

std::unique_ptr<Host>& currentHost() {
    static std::unique_ptr<Host> current;
    return current;
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
