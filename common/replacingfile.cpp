#include "orv/replacingfile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "orv/retry.h"

namespace orv {

namespace {

// The names live in fixed storage so that a signal handler can unlink them
// without touching the heap. A slot is free, claimed (being named) or named;
// the handler only reads named ones.
constexpr int slotCount = 16;
constexpr std::size_t nameCapacity = 4096;
enum : int { slotFree, slotClaimed, slotNamed };
struct Slot {
    std::atomic<int> state{slotFree};
    char name[nameCapacity];
};
std::array<Slot, slotCount> slots;

int claimSlot(const std::string& name) {
    if (name.size() >= nameCapacity) return -1;
    for (int i = 0; i < slotCount; ++i) {
        int expected = slotFree;
        if (!slots[i].state.compare_exchange_strong(expected, slotClaimed)) continue;
        std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
        slots[i].state.store(slotNamed);
        return i;
    }
    return -1;
}

void releaseSlot(int slot) {
    if (slot >= 0) slots[slot].state.store(slotFree);
}

std::string temporaryNameFor(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "." + name + ".XXXXXX";
}

extern "C" void removeAndReraise(int sig) {
    removeTemporaryFiles();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace

ReplacingFile::ReplacingFile(ReplacingFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      slot_(std::exchange(other.slot_, -1)),
      temporary_(std::move(other.temporary_)),
      final_(std::move(other.final_)) {}

ReplacingFile& ReplacingFile::operator=(ReplacingFile&& other) noexcept {
    if (this != &other) {
        discard();
        fd_ = std::exchange(other.fd_, -1);
        slot_ = std::exchange(other.slot_, -1);
        temporary_ = std::move(other.temporary_);
        final_ = std::move(other.final_);
    }
    return *this;
}

ReplacingFile::~ReplacingFile() { discard(); }

int ReplacingFile::open(const std::string& path) {
    discard();
    std::string name = temporaryNameFor(path);
    // Block the signals while the name is created and registered, so that no
    // temporary file can appear that the handler does not know of.
    sigset_t all, old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &old);
    const int fd = ::mkstemp(name.data());
    const int error = errno;
    int slot = -1;
    if (fd >= 0) {
        slot = claimSlot(name);
        if (slot < 0) {
            ::unlink(name.c_str());
            ::close(fd);
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (fd < 0) return error;
    if (slot < 0) return EMFILE;
    // mkstemp makes the file readable by its owner only; give it the mode a plain create would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    fd_ = fd;
    slot_ = slot;
    temporary_ = std::move(name);
    final_ = path;
    return 0;
}

int ReplacingFile::write(std::string_view bytes) {
    if (fd_ < 0) return EBADF;
    while (!bytes.empty()) {
        const ssize_t n = retryInterrupted([&] { return ::write(fd_, bytes.data(), bytes.size()); });
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int ReplacingFile::commit() {
    if (fd_ < 0) return EBADF;
    int error = 0;
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) error = errno;
    if (error == 0 && ::rename(temporary_.c_str(), final_.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary_.c_str());
    releaseSlot(std::exchange(slot_, -1));
    temporary_.clear();
    return error;
}

void ReplacingFile::discard() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (slot_ >= 0) {
        ::unlink(temporary_.c_str());
        releaseSlot(std::exchange(slot_, -1));
    }
    temporary_.clear();
}

void removeTemporaryFiles() noexcept {
    for (auto& s : slots)
        if (s.state.load() == slotNamed) ::unlink(s.name);
}

void removeTemporaryFilesOnSignals() {
    // Every signal whose default ends the program; one that is caught or
    // ignored already (SIGPIPE, SIGXFSZ since start-up) ends nothing here.
    std::vector<int> ending = {SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                               SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT,
                               SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) ending.push_back(sig);
    for (const int sig : ending) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction sa {};
        sa.sa_handler = removeAndReraise;
        sigfillset(&sa.sa_mask);
        ::sigaction(sig, &sa, nullptr);
    }
}

Failure writeFailure(const std::string& path, int error) {
    return Failure::stop("cannot write " + path + ": " + std::strerror(error), errFileIO);
}

Outcome<void> writeWholeFile(const std::string& path, std::string_view bytes) {
    const FileContent one{path, bytes};
    return writeWholeFiles({&one, 1});
}

Outcome<void> writeWholeFiles(std::span<const FileContent> files) {
    std::vector<ReplacingFile> out(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        int error = out[i].open(files[i].path);
        if (!error) error = out[i].write(files[i].bytes);
        if (error) return writeFailure(files[i].path, error);
    }
    for (std::size_t i = 0; i < files.size(); ++i)
        if (const int error = out[i].commit()) return writeFailure(files[i].path, error);
    return {};
}

}  // namespace orv
