// Reading a whole file safely: the descriptor is opened non-blocking (a FIFO or a terminal would
// otherwise hold open() until someone writes), its type is checked on the descriptor itself (no
// window between a stat of the name and the open), and the read stops one byte past the limit
// (a file may grow after fstat, and /proc files report a size of 0).
#include "pitwall/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pitwall {
namespace {

void set_reason(std::string *why, std::string text) {
    if (why != nullptr) *why = std::move(text);
}

std::string too_large(size_t size, size_t max_bytes) {
    return "too large (" + std::to_string(size) + " bytes, at most " + std::to_string(max_bytes) + ")";
}

// Closes the descriptor on every way out.
class descriptor {
public:
    explicit descriptor(int fd) : fd_(fd) {}
    ~descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    descriptor(const descriptor &) = delete;
    descriptor &operator=(const descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

bool read_regular_file(const std::string &path, size_t max_bytes, std::string &out, std::string *why) {
    descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        set_reason(why, std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        set_reason(why, std::strerror(errno));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        set_reason(why, "not a regular file");
        return false;
    }
    max_bytes = std::min(max_bytes, std::string().max_size() - 1); // max_bytes + 1 must not wrap
    const size_t stated = info.st_size > 0 ? size_t(info.st_size) : 0;
    if (stated > max_bytes) {
        set_reason(why, too_large(stated, max_bytes));
        return false;
    }

    // Room for one byte more than allowed: reading it proves the file grew past the limit.
    std::string bytes(stated + 1, '\0');
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > max_bytes) break;
            bytes.resize(std::min(bytes.size() * 2, max_bytes + 1));
        }
        ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            set_reason(why, std::strerror(errno));
            return false;
        }
        if (got == 0) break;
        filled += size_t(got);
    }
    if (filled > max_bytes) {
        // The file grew after fstat, or is one whose size the kernel does not know (/proc).
        struct stat now {};
        if (::fstat(fd.get(), &now) == 0 && now.st_size > 0 && size_t(now.st_size) > max_bytes)
            set_reason(why, too_large(size_t(now.st_size), max_bytes));
        else
            set_reason(why, "too large (more than " + std::to_string(max_bytes) + " bytes)");
        return false;
    }
    bytes.resize(filled);
    out = std::move(bytes);
    return true;
}

} // namespace pitwall
