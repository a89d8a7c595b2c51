#include "orv/startup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace orv {

void prepareStandardStreams() noexcept {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open returns the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened > 2) ::close(opened);
    }
    ::signal(SIGPIPE, SIG_IGN);
    // A file-size limit then fails the write (EFBIG), reported like a full disk.
    ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace orv
