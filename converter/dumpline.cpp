#include "converter/dumpline.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "runtime/tokenreader.h"

namespace orv::converter {
namespace {

constexpr std::size_t block = 64 * 1024;

struct Source {
    int fd = -1;
    std::vector<unsigned char> buffer = std::vector<unsigned char>(block);

    ~Source() {
        if (fd >= 0) ::close(fd);
    }
    ssize_t readAt(std::int64_t offset, std::size_t count) {
        ssize_t n;
        do n = ::pread(fd, buffer.data(), std::min(count, buffer.size()), offset);
        while (n < 0 && errno == EINTR);
        return n;
    }
    static bool refill(void* context, runtime::ByteCursor& c) {
        auto& self = *static_cast<Source*>(context);
        c.windowOffset += static_cast<std::int64_t>(c.len);
        c.pos = c.len = 0;
        const ssize_t n = self.readAt(c.windowOffset, block);
        if (n <= 0) return false;
        c.data = self.buffer.data();
        c.len = static_cast<std::size_t>(n);
        return true;
    }
};

bool isSeparator(unsigned char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n'; }

}  // namespace

std::int64_t lineOfDumpNumber(const std::string& path, std::int64_t index) {
    Source source;
    source.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (source.fd < 0 || ::fstat(source.fd, &st) != 0) return 0;
    runtime::ByteCursor cursor;
    cursor.kind = runtime::CursorKind::Text;
    cursor.sizeAtOpen = st.st_size;
    cursor.refill = &Source::refill;
    cursor.context = &source;
    runtime::Token token;
    for (std::int64_t i = 0; i < index; ++i) {
        if (cursor.atEnd()) return 0;
        runtime::readToken(cursor, token);
    }
    if (cursor.atEnd()) return 0;
    // Bytes handed back to the cursor were read from the file already.
    std::int64_t at = cursor.offset() - cursor.pushCount;

    // The number starts at the first byte that separates nothing; count the line ends before it.
    std::int64_t lineEnds = 0;
    for (std::int64_t offset = 0;;) {
        const ssize_t n = source.readAt(offset, block);
        if (n <= 0) return 0;
        const unsigned char* data = source.buffer.data();
        const auto count = static_cast<std::size_t>(n);
        std::size_t from = 0;
        if (offset + n > at) {
            from = static_cast<std::size_t>(std::max<std::int64_t>(at - offset, 0));
            while (from < count && isSeparator(data[from])) ++from;
            if (from < count) return 1 + lineEnds + std::count(data, data + from, '\n');
            at = offset + n;  // all separators so far: the number starts further on
        }
        lineEnds += std::count(data, data + count, '\n');
        offset += n;
    }
}

}  // namespace orv::converter
