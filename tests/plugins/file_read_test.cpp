// Reading whole files: regular files up to a limit come back whole; anything else (a folder, a
// FIFO without a writer, an endless device, a file over the limit) is refused at once, with the
// reason, and leaves the output as it was.
#include "pitwall/file_read.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using pitwall::read_regular_file;

std::string scratch_dir() {
    std::filesystem::path dir = std::filesystem::path(PITWALL_BINARY_DIR) / "test-scratch" / "file_read";
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    return dir.string();
}

std::string write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(read_regular_file, reads_regular_files_whole_and_refuses_everything_else_with_its_reason) {
    const std::string dir = scratch_dir();
    const std::string fifo = dir + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string bytes = std::string("PNG\0\r\n", 6) + "ten bytes!";

    struct file_case {
        const char *what;
        std::string path;
        size_t limit;
        bool ok;
        std::string expected; // the bytes when ok, the reason otherwise
    };
    const file_case cases[] = {
        {"a regular file exactly at the limit, zero bytes and all", write_file(dir + "/sixteen", bytes), 16, true,
         bytes},
        {"an empty file", write_file(dir + "/empty", ""), 16, true, ""},
        {"a missing file", dir + "/absent", 16, false, "No such file or directory"},
        {"a folder", dir, 16, false, "not a regular file"},
        // Opened blocking, this would wait for a writer forever.
        {"a FIFO with no writer", fifo, 16, false, "not a regular file"},
        {"an endless device", "/dev/zero", 16, false, "not a regular file"},
        {"one byte over the limit", dir + "/sixteen", 15, false, "too large (16 bytes, at most 15)"},
        // The kernel gives /proc files a size of 0: the limit is found while reading.
        {"a file whose size is not known in advance", "/proc/self/status", 16, false,
         "too large (more than 16 bytes)"},
    };
    for (const file_case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string out = "untouched", why;
        EXPECT_EQ(read_regular_file(c.path, c.limit, out, &why), c.ok) << why;
        if (c.ok) {
            EXPECT_EQ(out, c.expected);
        } else {
            EXPECT_EQ(why, c.expected);
            EXPECT_EQ(out, "untouched");
        }
    }
}

} // namespace
