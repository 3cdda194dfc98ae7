// alloc_faults.h - heap failures staged inside one loaded plug-in library.
//
// The library's references to malloc, calloc, realloc and free are redirected (its global offset
// table entries rewritten) to counting wrappers, so that only the plug-in's own allocations - the
// kit is linked into it - are counted and can be made to fail; the engine and the test go on
// allocating normally. Each allocation is known by its site: the library and the offset of the
// instruction after the call, so a report can say which sites were reached and which were failed.
#ifndef PITWALL_TESTS_ALLOC_FAULTS_H
#define PITWALL_TESTS_ALLOC_FAULTS_H

#include <cstddef>
#include <map>
#include <set>
#include <string>

namespace pitwall::testing {

struct alloc_site {
    std::string library; // file name of the plug-in
    size_t offset = 0;   // return address of the allocation call, from the library's load address
    bool operator<(const alloc_site &o) const {
        return library != o.library ? library < o.library : offset < o.offset;
    }
};

class alloc_faults {
public:
    // Redirects the heap calls of the loaded library at `path` (already loaded by the engine);
    // false, with the reason, if it is not loaded or its tables cannot be read.
    static bool hook(const std::string &path, std::string *why);

    // Counting restarts; the n-th allocation from now fails (1-based), and so does every later one
    // when `and_after` is set; 0 fails none. Clears the sites of also_fail_first_at.
    static void fail_nth(long n, bool and_after = false);
    static void stop_failing() { fail_nth(0); }
    // Also fail the first allocation at each of these sites after the next fail_nth (sites that
    // only a first failure leads to, such as a rebuild after a lost string).
    static void also_fail_first_at(const std::set<alloc_site> &sites);

    static long allocations();               // allocation calls since the last fail_nth
    static long live_blocks();               // blocks allocated by hooked libraries and not yet freed
    static const std::set<alloc_site> &reached(); // every site that allocated, since the start
    static const std::set<alloc_site> &failed();  // every site made to fail, since the start
    static const alloc_site &last_failed();
};

} // namespace pitwall::testing

#endif // PITWALL_TESTS_ALLOC_FAULTS_H
