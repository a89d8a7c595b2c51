#include "headlessscreen.h"

#include <unistd.h>

#include <cerrno>

namespace orv {

int HeadlessScreen::openSurface(int mode) { return mode == surfaceMode ? 0 : 1; }

void HeadlessScreen::waitForKey() {
    // Unbuffered, so nothing beyond the one byte is taken from the input.
    char c;
    while (::read(STDIN_FILENO, &c, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace orv
