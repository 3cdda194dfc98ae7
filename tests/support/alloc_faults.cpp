#include "alloc_faults.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pitwall::testing {
namespace {

#if UINTPTR_MAX > 0xFFFFFFFFu
#define PITWALL_R_SYM ELF64_R_SYM
#else
#define PITWALL_R_SYM ELF32_R_SYM
#endif

struct fault_state {
    long count = 0;
    long fail_at = 0;
    bool and_after = false;
    long live = 0;
    std::set<alloc_site> reached, failed;
    std::set<alloc_site> fail_first_at; // sites whose next allocation fails
    alloc_site last_failed;
};

fault_state &state() {
    static fault_state *s = new fault_state; // never destroyed: plug-ins may free after exit begins
    return *s;
}

alloc_site site_of(void *return_address) {
    Dl_info info{};
    alloc_site site;
    if (dladdr(return_address, &info) != 0 && info.dli_fname != nullptr) {
        const char *slash = std::strrchr(info.dli_fname, '/');
        site.library = slash != nullptr ? slash + 1 : info.dli_fname;
        site.offset = static_cast<size_t>(static_cast<char *>(return_address) - static_cast<char *>(info.dli_fbase));
    }
    return site;
}

// True when this allocation is to fail; records the site either way.
bool should_fail(void *return_address) {
    fault_state &s = state();
    alloc_site site = site_of(return_address);
    s.reached.insert(site);
    ++s.count;
    bool fail = s.fail_at > 0 && (s.count == s.fail_at || (s.and_after && s.count > s.fail_at));
    if (s.fail_first_at.erase(site) != 0) fail = true;
    if (fail) {
        s.failed.insert(site);
        s.last_failed = site;
    }
    return fail;
}

void *hooked_malloc(size_t size) {
    if (should_fail(__builtin_return_address(0))) return nullptr;
    void *p = std::malloc(size);
    if (p != nullptr) ++state().live;
    return p;
}

void *hooked_calloc(size_t n, size_t size) {
    if (should_fail(__builtin_return_address(0))) return nullptr;
    void *p = std::calloc(n, size);
    if (p != nullptr) ++state().live;
    return p;
}

void *hooked_realloc(void *old, size_t size) {
    if (should_fail(__builtin_return_address(0))) return nullptr;
    void *p = std::realloc(old, size);
    if (p != nullptr && old == nullptr) ++state().live;
    return p;
}

void hooked_free(void *p) {
    if (p != nullptr) --state().live;
    std::free(p);
}

struct replacement {
    const char *name;
    void *function;
};
const replacement replacements[] = {
    {"malloc", reinterpret_cast<void *>(&hooked_malloc)},
    {"calloc", reinterpret_cast<void *>(&hooked_calloc)},
    {"realloc", reinterpret_cast<void *>(&hooked_realloc)},
    {"free", reinterpret_cast<void *>(&hooked_free)},
};

// The loader relocates most pointers of the dynamic section in place; some targets keep them
// as link-time addresses.
uintptr_t dynamic_address(const link_map *map, uintptr_t value) {
    return value < map->l_addr ? map->l_addr + value : value;
}

// Rewrites the table entries of the relocations [begin, begin + bytes) that name a replaced symbol.
template <typename Reloc>
void patch(const link_map *map, uintptr_t begin, size_t bytes, const ElfW(Sym) * symbols, const char *names) {
    const auto *relocs = reinterpret_cast<const Reloc *>(begin);
    long page = sysconf(_SC_PAGESIZE);
    for (size_t i = 0; i < bytes / sizeof(Reloc); ++i) {
        const char *name = names + symbols[PITWALL_R_SYM(relocs[i].r_info)].st_name;
        for (const replacement &r : replacements) {
            if (std::strcmp(name, r.name) != 0) continue;
            auto *slot = reinterpret_cast<void **>(map->l_addr + relocs[i].r_offset);
            // The entry may lie in the part made read-only after relocation.
            auto first = reinterpret_cast<uintptr_t>(slot) & ~static_cast<uintptr_t>(page - 1);
            mprotect(reinterpret_cast<void *>(first), static_cast<size_t>(page), PROT_READ | PROT_WRITE);
            *slot = r.function;
        }
    }
}

} // namespace

bool alloc_faults::hook(const std::string &path, std::string *why) {
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        if (why != nullptr) *why = path + " is not loaded";
        return false;
    }
    link_map *map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        dlclose(handle);
        if (why != nullptr) *why = "no link map for " + path;
        return false;
    }
    uintptr_t symtab = 0, strtab = 0, rela = 0, rel = 0, jmprel = 0;
    size_t rela_size = 0, rel_size = 0, jmprel_size = 0;
    long jmprel_kind = DT_RELA;
    for (const ElfW(Dyn) *d = map->l_ld; d->d_tag != DT_NULL; ++d) {
        switch (d->d_tag) {
        case DT_SYMTAB: symtab = dynamic_address(map, d->d_un.d_ptr); break;
        case DT_STRTAB: strtab = dynamic_address(map, d->d_un.d_ptr); break;
        case DT_RELA: rela = dynamic_address(map, d->d_un.d_ptr); break;
        case DT_RELASZ: rela_size = d->d_un.d_val; break;
        case DT_REL: rel = dynamic_address(map, d->d_un.d_ptr); break;
        case DT_RELSZ: rel_size = d->d_un.d_val; break;
        case DT_JMPREL: jmprel = dynamic_address(map, d->d_un.d_ptr); break;
        case DT_PLTRELSZ: jmprel_size = d->d_un.d_val; break;
        case DT_PLTREL: jmprel_kind = static_cast<long>(d->d_un.d_val); break;
        default: break;
        }
    }
    if (symtab == 0 || strtab == 0) {
        dlclose(handle);
        if (why != nullptr) *why = "no dynamic symbols in " + path;
        return false;
    }
    const auto *symbols = reinterpret_cast<const ElfW(Sym) *>(symtab);
    const auto *names = reinterpret_cast<const char *>(strtab);
    if (rela != 0) patch<ElfW(Rela)>(map, rela, rela_size, symbols, names);
    if (rel != 0) patch<ElfW(Rel)>(map, rel, rel_size, symbols, names);
    if (jmprel != 0) {
        if (jmprel_kind == DT_RELA) patch<ElfW(Rela)>(map, jmprel, jmprel_size, symbols, names);
        else patch<ElfW(Rel)>(map, jmprel, jmprel_size, symbols, names);
    }
    dlclose(handle); // the engine's own reference keeps it loaded
    return true;
}

void alloc_faults::fail_nth(long n, bool and_after) {
    fault_state &s = state();
    s.count = 0;
    s.fail_at = n;
    s.and_after = and_after;
    s.fail_first_at.clear();
}

void alloc_faults::also_fail_first_at(const std::set<alloc_site> &sites) { state().fail_first_at = sites; }

long alloc_faults::allocations() { return state().count; }
long alloc_faults::live_blocks() { return state().live; }
const std::set<alloc_site> &alloc_faults::reached() { return state().reached; }
const std::set<alloc_site> &alloc_faults::failed() { return state().failed; }
const alloc_site &alloc_faults::last_failed() { return state().last_failed; }

} // namespace pitwall::testing
