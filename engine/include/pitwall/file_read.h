// file_read.h - whole files into memory without ever blocking or growing without bound.
//
// A path a scene names may point anywhere: at a FIFO (an open() that waits for a writer), at a
// device such as /dev/zero (endless bytes) or at a file far larger than anything the engine
// draws. Every file the engine reads goes through here, so that such a name fails at once, with
// a reason a person can act on.
#ifndef PITWALL_FILE_READ_H
#define PITWALL_FILE_READ_H

#include <cstddef>
#include <string>

namespace pitwall {

// The whole of the regular file at `path`, at most `max_bytes` long, into `out`. False
// otherwise, with only the reason in `why` (the caller names the file):
//   "not a regular file"                    a directory, FIFO, socket or device;
//   "too large (N bytes, at most M)"        over the limit;
//   "too large (more than M bytes)"         over it while reading, with no size known;
//   the system's own words                  e.g. "No such file or directory".
// `out` is left as it was on failure.
bool read_regular_file(const std::string &path, size_t max_bytes, std::string &out, std::string *why);

} // namespace pitwall

#endif // PITWALL_FILE_READ_H
