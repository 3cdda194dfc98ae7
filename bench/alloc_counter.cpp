// The counting allocator of the benchmark program: the C library's own allocator behind wrappers
// that count while alloc_counter::counting is set. Defined once for the whole program.
#include "alloc_counter.h"

#include <cstddef>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);
}

namespace alloc_counter {
bool counting = false;
long allocations = 0;
long bytes = 0;
} // namespace alloc_counter

namespace {
void note_allocation(size_t size) {
    if (!alloc_counter::counting) return;
    ++alloc_counter::allocations;
    alloc_counter::bytes += static_cast<long>(size);
}
} // namespace

extern "C" void *malloc(size_t size) {
    note_allocation(size);
    return __libc_malloc(size);
}
extern "C" void *calloc(size_t count, size_t size) {
    note_allocation(count * size);
    return __libc_calloc(count, size);
}
extern "C" void *realloc(void *block, size_t size) {
    note_allocation(size);
    return __libc_realloc(block, size);
}
extern "C" void free(void *block) { __libc_free(block); }
