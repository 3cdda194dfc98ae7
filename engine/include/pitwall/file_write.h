// file_write.h - whole files written so that nothing is lost or destroyed on the way.
//
// An output name may already be taken by something precious: the scene file a user is editing, a
// link planted by someone else, a device node. The new bytes go into a fresh file beside the
// target, and only a complete, flushed file takes the target's name.
#ifndef PITWALL_FILE_WRITE_H
#define PITWALL_FILE_WRITE_H

#include <cstddef>
#include <string>

namespace pitwall {

// Create or replace the regular file at `path` with `bytes`.
//
// The bytes are written into a new file in the same folder, created exclusively under a random
// name (never opened through a link, never an existing file), flushed to disk and renamed over
// `path`: a reader sees the old file or the new one, never half of either. A file replaced keeps
// its permission bits; a link at `path` is replaced, not written through. A `path` that exists
// but is not a regular file or a link (a folder, a device, a FIFO) is refused and left alone.
//
// False with only the reason in `why` ("not a regular file", or the system's own words such as
// "No space left on device"); then the temporary file is gone and `path` is as it was.
bool replace_file(const std::string &path, const std::string &bytes, std::string *why);

// `count` bytes from the kernel's random source as 2 * count hex digits: names and tokens that
// nobody can guess beforehand. Empty when the kernel gives no randomness.
std::string random_hex(size_t count);

} // namespace pitwall

#endif // PITWALL_FILE_WRITE_H
