#include "IbisParser/engine/context.h"

#include <atomic>

namespace {

thread_local CheckContext* bound = nullptr;

}  // namespace

std::size_t CheckContext::NewIndex() {
    static std::atomic<std::size_t> next{0};
    return next++;
}

CheckContext& Context() {
    if (bound) return *bound;
    static CheckContext unbound;
    return unbound;
}

ContextScope::ContextScope(CheckContext& context) : previous_(bound) { bound = &context; }

ContextScope::~ContextScope() { bound = previous_; }
