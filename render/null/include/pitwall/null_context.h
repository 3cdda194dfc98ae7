// null_context.h - a render context where every operation is harmless and costs next to nothing,
// for measuring the plug-ins' own work in benchmarks. Every image loads (one shared fake image,
// a 20 x 20 nine-patch with a 10-pixel stretch band in both directions), every text measures
// 8 pixels per byte and one line of its font size.
#ifndef PITWALL_NULL_CONTEXT_H
#define PITWALL_NULL_CONTEXT_H

#include "gre_host.h"

namespace pitwall {

class engine;

class null_context {
public:
    // Installs itself as the engine's render context outside draws until destroyed.
    explicit null_context(engine &owner);
    ~null_context();
    null_context(const null_context &) = delete;
    null_context &operator=(const null_context &) = delete;

    gr_context_t *context() { return &context_; }
    long operations() const { return operations_; } // calls so far, all kinds together

private:
    struct ops;
    engine &engine_;
    gr_context_t context_{};
    long operations_ = 0;
};

} // namespace pitwall

#endif // PITWALL_NULL_CONTEXT_H
