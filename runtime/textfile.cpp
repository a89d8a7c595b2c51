#include "runtime/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "orv/retry.h"
#include "runtime/numbers.h"
#include "runtime/tokenreader.h"

namespace orv::runtime {

namespace {

// Reading takes large blocks so that long numeric files parse straight out of
// the buffer; writing collects at least the 8192 bytes the files always had.
constexpr std::size_t readBlock = 256 * 1024;
constexpr std::size_t writeBlock = 64 * 1024;
constexpr std::string_view lineEnd = "\r\n";

bool writeAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = retryInterrupted([&] { return ::write(fd, p, n); });
        if (w < 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

struct OpenFile {
    int fd = -1;
    FileMode mode = FileMode::Input;
    ByteCursor in;  // also holds the length at open
    std::vector<unsigned char> readBuffer;
    std::vector<char> writeBuffer;
    std::size_t writeLength = 0;  // kept apart from the vector so a signal sees a whole prefix
    std::int64_t writeStart = 0;
    std::int64_t osPos = 0;  // where the descriptor stands
    bool failed = false;     // some write since the open did not reach the file

    void moveTo(std::int64_t position) {
        if (osPos == position) return;
        if (::lseek(fd, position, SEEK_SET) >= 0) osPos = position;
    }

    void flushWrites() {
        if (writeLength == 0) return;
        moveTo(writeStart);
        std::size_t n = writeLength;
        writeLength = 0;
        if (writeAll(fd, writeBuffer.data(), n))
            osPos += static_cast<std::int64_t>(n);
        else
            failed = true, osPos = -1;
    }

    static bool refill(void* context, ByteCursor& c) {
        auto& f = *static_cast<OpenFile*>(context);
        f.flushWrites();
        const std::int64_t next = c.windowOffset + static_cast<std::int64_t>(c.len);
        c.windowOffset = next;
        c.pos = c.len = 0;
        if (f.mode == FileMode::Output) return false;
        f.moveTo(next);
        if (f.readBuffer.empty()) f.readBuffer.resize(readBlock);
        const ssize_t n =
            retryInterrupted([&] { return ::read(f.fd, f.readBuffer.data(), f.readBuffer.size()); });
        if (n <= 0) return false;
        f.osPos = next + n;
        c.data = f.readBuffer.data();
        c.len = static_cast<std::size_t>(n);
        return true;
    }

    // Leaves reading: the next byte written lands where the next read would have come from.
    void stopReading() {
        if (in.len == 0 && in.pushCount == 0) return;
        std::int64_t at = in.offset() - in.pushCount;
        in.windowOffset = at;
        in.pos = in.len = 0;
        in.pushCount = 0;
    }

    void write(const char* p, std::size_t n) {
        if (mode == FileMode::Input || n == 0) return;
        stopReading();
        if (writeBuffer.empty()) writeBuffer.resize(writeBlock);
        if (writeLength == 0) writeStart = in.windowOffset;
        if (writeLength + n > writeBuffer.size()) {
            flushWrites();
            writeStart = in.windowOffset;
            if (n >= writeBuffer.size()) {
                moveTo(writeStart);
                if (writeAll(fd, p, n))
                    osPos = writeStart + static_cast<std::int64_t>(n);
                else
                    failed = true, osPos = -1;
                in.windowOffset += static_cast<std::int64_t>(n);
                return;
            }
        }
        std::memcpy(writeBuffer.data() + writeLength, p, n);
        writeLength += n;
        in.windowOffset += static_cast<std::int64_t>(n);
    }
};

// What a signal handler may flush: the open files of the program's table.
std::array<OpenFile*, maxFileNumber + 1>* programSlots = nullptr;

void writeConsole(std::string_view a, std::string_view b) {
    iovec parts[2] = {{const_cast<char*>(a.data()), a.size()}, {const_cast<char*>(b.data()), b.size()}};
    int count = b.empty() ? 1 : 2;
    std::size_t total = a.size() + b.size();
    const ssize_t w = retryInterrupted([&] { return ::writev(STDOUT_FILENO, parts, count); });
    if (w >= 0 && static_cast<std::size_t>(w) < total) {
        // a short write to a pipe: finish the rest plainly
        std::string rest;
        rest.append(a).append(b);
        writeAll(STDOUT_FILENO, rest.data() + w, total - static_cast<std::size_t>(w));
    }
}

}  // namespace

struct FileTable::Impl {
    std::array<OpenFile*, maxFileNumber + 1> slots{};
    int selected = -1;
    int error = 0;
    ConsoleSink* sink = nullptr;

    OpenFile* find(int number) const {
        if (number < 1 || number > maxFileNumber) return nullptr;
        return slots[static_cast<std::size_t>(number)];
    }

    void print(int number, std::string_view text, Ending ending) {
        std::string_view tail = ending == Ending::LineEnd ? lineEnd : std::string_view{};
        if (number == 0) {
            if (sink) {
                if (tail.empty())
                    sink->write(text);
                else
                    sink->write(std::string(text).append(tail));
            } else if (!text.empty() || !tail.empty()) {
                writeConsole(text, tail);
            }
            return;
        }
        OpenFile* f = find(number);
        if (!f) return;
        f->write(text.data(), text.size());
        f->write(tail.data(), tail.size());
    }
};

FileTable::FileTable() : impl_(std::make_unique<Impl>()) {}

FileTable::~FileTable() {
    closeAll();
    if (programSlots == &impl_->slots) programSlots = nullptr;
}

int FileTable::openFile(std::string_view name, FileMode mode, int number) {
    if (number < 1 || number > maxFileNumber || impl_->slots[static_cast<std::size_t>(number)]) {
        return impl_->error = 1;
    }
    // Names are used as they stand: '/' already separates folders here.
    std::string path(name);
    if (path.find('\0') != std::string::npos) return impl_->error = 2;
    int fd = -1;
    switch (mode) {
        case FileMode::Input:
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            break;
        case FileMode::Output:
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            break;
        case FileMode::Binary:
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            break;
    }
    if (fd < 0) return impl_->error = 2;
    return openDescriptor(fd, mode, number);
}

int FileTable::openDescriptor(int fd, FileMode mode, int number) {
    if (number < 1 || number > maxFileNumber || impl_->slots[static_cast<std::size_t>(number)]) {
        ::close(fd);
        return impl_->error = 1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return impl_->error = 2;
    }
    auto* f = new OpenFile;
    f->fd = fd;
    f->mode = mode;
    if (mode != FileMode::Output) {
        if (S_ISREG(st.st_mode)) {
            f->in.sizeAtOpen = st.st_size;
        } else {
            off_t end = ::lseek(fd, 0, SEEK_END);
            // a pipe has no length: only running out of data ends it
            f->in.sizeAtOpen = end >= 0 ? end : std::numeric_limits<std::int64_t>::max();
            ::lseek(fd, 0, SEEK_SET);
        }
    }
    f->in.kind = mode == FileMode::Input    ? CursorKind::Text
                 : mode == FileMode::Binary ? CursorKind::Binary
                                            : CursorKind::WriteOnly;
    f->in.refill = &OpenFile::refill;
    f->in.context = f;
    impl_->slots[static_cast<std::size_t>(number)] = f;
    return impl_->error = 0;
}

int FileTable::closeFile(int number) {
    OpenFile* f = impl_->find(number);
    if (!f) return impl_->error = 1;
    f->flushWrites();
    int status = f->failed ? 3 : 0;
    if (::close(f->fd) != 0 && errno != EINTR) status = 3;
    impl_->slots[static_cast<std::size_t>(number)] = nullptr;
    delete f;
    return impl_->error = status;
}

int FileTable::closeAll() {
    int first = 0;
    for (int n = 1; n <= maxFileNumber; ++n) {
        if (!impl_->slots[static_cast<std::size_t>(n)]) continue;
        int status = closeFile(n);
        if (first == 0) first = status;
    }
    return first;
}

int FileTable::atEndOfFile(int number) {
    OpenFile* f = impl_->find(number);
    return !f || f->in.atEnd() ? -1 : 0;
}

std::int64_t FileTable::fileLength(int number) {
    OpenFile* f = impl_->find(number);
    if (!f) return 0;
    f->flushWrites();
    struct stat st {};
    if (::fstat(f->fd, &st) == 0 && S_ISREG(st.st_mode)) return st.st_size;
    off_t end = ::lseek(f->fd, 0, SEEK_END);
    f->osPos = -1;
    return end > 0 ? end : 0;
}

int FileTable::seekFile(int number, std::int64_t position) {
    OpenFile* f = impl_->find(number);
    if (!f) return impl_->error = 1;
    // A position before the first byte is an I/O error of the stream itself.
    if (position < 1) return impl_->error = 3;
    f->flushWrites();
    f->in.windowOffset = position - 1;
    f->in.pos = f->in.len = 0;
    f->in.pushCount = 0;
    f->in.pastEnd = false;
    return impl_->error = 0;
}

int FileTable::beginInput(int number) {
    if (!impl_->find(number)) {
        impl_->selected = -1;
        return impl_->error = 1;
    }
    impl_->selected = number;
    return impl_->error = 0;
}

namespace {

void nextToken(OpenFile* f, Token& token) {
    if (f)
        readToken(f->in, token);
    else
        token.length = 0, token.floating = false;
}

}  // namespace

int FileTable::inputInteger(std::int32_t& dest) {
    Token token;
    nextToken(impl_->find(impl_->selected), token);
    dest = tokenToInteger(token);
    return impl_->error = 0;
}

int FileTable::inputSingle(float& dest) {
    if (OpenFile* f = impl_->find(impl_->selected))
        readSingle(f->in, dest);
    else
        dest = 0.0f;
    return impl_->error = 0;
}

int FileTable::inputDouble(double& dest) {
    if (OpenFile* f = impl_->find(impl_->selected))
        readDouble(f->in, dest);
    else
        dest = 0.0;
    return impl_->error = 0;
}

std::size_t FileTable::inputSingleRecords(int number, float* dest, int perRecord, std::size_t maxRecords) {
    OpenFile* f = impl_->find(number);
    if (!f) return 0;  // a file that is not open counts as at its end
    const std::size_t done = readSingleRecords(f->in, dest, perRecord, maxRecords);
    if (done > 0) impl_->selected = number, impl_->error = 0;
    return done;
}

std::string FileTable::readChars(std::int64_t count, int number) {
    OpenFile* f = impl_->find(number);
    std::string text;
    if (!f || count <= 0) return text;
    // in steps, so a count far beyond the file's length costs no memory
    const std::int64_t chunk = 1 << 20;
    while (static_cast<std::int64_t>(text.size()) < count) {
        std::size_t old = text.size();
        auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(count - static_cast<std::int64_t>(old), chunk));
        text.resize(old + want);
        std::size_t got = f->in.readInto(text.data() + old, want);
        text.resize(old + got);
        if (got < want) break;
    }
    return text;
}

int FileTable::readBytesAt(int number, std::int64_t position, std::size_t count, std::string& bytes) {
    bytes.clear();
    OpenFile* f = impl_->find(number);
    if (!f) return impl_->error = 1;
    if (position < 1) return impl_->error = 3;
    f->flushWrites();
    bytes.resize(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::pread(f->fd, bytes.data() + got, count - got,
                                  static_cast<off_t>(position - 1 + static_cast<std::int64_t>(got)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            bytes.clear();
            return impl_->error = 3;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return impl_->error = 0;
}

void FileTable::printText(int number, std::string_view text, Ending ending) {
    impl_->print(number, text, ending);
}

void FileTable::printSingle(int number, float value, Ending ending) {
    impl_->print(number, numberText(value), ending);
}

void FileTable::printDouble(int number, double value, Ending ending) {
    impl_->print(number, numberText(value), ending);
}

void FileTable::printLineEnd(int number) { impl_->print(number, {}, Ending::LineEnd); }

int FileTable::lastError() const { return impl_->error; }

void FileTable::setConsoleSink(ConsoleSink* sink) { impl_->sink = sink; }

FileTable& programFiles() {
    static FileTable table;
    static bool registered = (programSlots = &table.impl_->slots, true);
    (void)registered;
    return table;
}

void flushProgramFilesFromSignal() {
    // Only system calls: the handler may have interrupted any print.
    if (!programSlots) return;
    for (OpenFile* f : *programSlots) {
        if (!f || f->writeLength == 0) continue;
        if (f->osPos != f->writeStart) ::lseek(f->fd, f->writeStart, SEEK_SET);
        std::size_t n = f->writeLength;
        f->writeLength = 0;
        writeAll(f->fd, f->writeBuffer.data(), n);
    }
}

}  // namespace orv::runtime
