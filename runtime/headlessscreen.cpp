#include "runtime/headlessscreen.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include "orv/retry.h"

namespace orv::runtime {

bool keyFromInput(bool block) {
    if (!block) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) return false;
    }
    // Unbuffered, so nothing beyond the one byte is taken from the input.
    char c;
    retryInterrupted([&] { return ::read(STDIN_FILENO, &c, 1); });
    return true;
}

int HeadlessScreen::openSurface(int mode) { return mode == surfaceMode ? 0 : 1; }

void HeadlessScreen::waitForKey() { keyFromInput(true); }

}  // namespace orv::runtime
