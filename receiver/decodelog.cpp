#include "receiver/decodelog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "orv/retry.h"
#include "orv/utctime.h"
#include "receiver/messageoutput.h"
#include "receiver/numbertext.h"

namespace orv::receiver {

std::string decodeLogLine(std::chrono::system_clock::time_point attempted, const RxOptions& o,
                          std::string_view result, std::string_view figures) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(attempted.time_since_epoch()).count();
    const std::string wave =
        printableMessage({reinterpret_cast<const std::uint8_t*>(o.waveFile.data()), o.waveFile.size()});
    return utcText(double(micros) / 1e6, 3) + "\t" + wave + "\t-T " + numberText(o.startOffset) + "\t-F " +
           numberText(o.frequencyOffset) + "\t-S " + numberText(o.symbolPeriod) + "\t-N " +
           wholeText(o.messageLength) + "\t-p " + o.codeText + "\t" + std::string(result) + "\t" +
           std::string(figures) + "\r\n";
}

Outcome<void> appendDecodeLog(std::string_view line) {
    const auto failed = [](int error) {
        return Outcome<void>::failure(
            std::string("cannot append to ") + decodeLogName + ": " + std::strerror(error), errFileIO);
    };
    // Never through a link planted under the name, never into a pipe or a device.
    const int fd = retryInterrupted([] {
        return ::open(decodeLogName, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                      0666);
    });
    if (fd < 0) return failed(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Outcome<void>::failure(
            std::string("cannot append to ") + decodeLogName + ": not a regular file", errFileIO);
    }
    // One write: O_APPEND places it at the end as a whole, after any other run's line.
    const ssize_t written = retryInterrupted([&] { return ::write(fd, line.data(), line.size()); });
    const int writeError = written < 0 ? errno : ENOSPC;  // a short write: the disk is full
    const bool closed = ::close(fd) == 0;
    if (written != ssize_t(line.size())) return failed(writeError);
    if (!closed) return failed(errno);
    return {};
}

}  // namespace orv::receiver
