// Writing a whole file safely: see file_write.h. The temporary file is opened with O_EXCL and
// O_NOFOLLOW under a name nobody could have guessed in advance, so that a file or link planted
// beside the target is never written through, and only a file this call created is ever removed.
#include "pitwall/file_write.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace pitwall {
namespace {

void set_reason(std::string *why, std::string text) {
    if (why != nullptr) *why = std::move(text);
}

std::string system_reason() { return std::strerror(errno); }

bool write_all(int fd, const std::string &bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        if (put == 0) {
            errno = ENOSPC;
            return false;
        }
        written += size_t(put);
    }
    return true;
}

} // namespace

std::string random_hex(size_t count) {
    std::string bytes(count, '\0');
    size_t filled = 0;
    while (filled < count) {
        const ssize_t got = ::getrandom(bytes.data() + filled, count - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return {};
        filled += size_t(got);
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

bool replace_file(const std::string &path, const std::string &bytes, std::string *why) {
    if (path.empty() || path.back() == '/') {
        set_reason(why, "a file name is needed");
        return false;
    }
    // An existing target must be a file (or a link, which the rename replaces): a device or a
    // FIFO in its place is not ours to replace, and renaming over a folder fails anyway.
    mode_t mode = 0666;
    bool keep_mode = false;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) {
            set_reason(why, "not a regular file");
            return false;
        }
        if (S_ISREG(existing.st_mode)) {
            mode = existing.st_mode & 07777;
            keep_mode = true;
        }
    } else if (errno != ENOENT) {
        set_reason(why, system_reason());
        return false;
    }

    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        // With no randomness, the pid and a counter still make the name differ from run to run;
        // O_EXCL below keeps even a guessed name from being used.
        static std::atomic<unsigned> counter{0};
        std::string unique = random_hex(8);
        if (unique.empty()) unique = std::to_string(::getpid()) + "-" + std::to_string(++counter);
        temporary = folder + "." + name + "." + unique + ".part";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        set_reason(why, system_reason());
        return false;
    }

    bool ok = write_all(fd, bytes) && (!keep_mode || ::fchmod(fd, mode) == 0) && ::fsync(fd) == 0;
    const std::string reason = ok ? std::string() : system_reason();
    if (::close(fd) != 0 && ok) {
        ok = false;
        set_reason(why, system_reason());
    } else if (!ok) {
        set_reason(why, reason);
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        set_reason(why, system_reason());
    }
    if (!ok) ::unlink(temporary.c_str()); // ours: created above with O_EXCL
    return ok;
}

} // namespace pitwall
