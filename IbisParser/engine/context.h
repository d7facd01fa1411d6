// The state of one check: the reporting, the frame and every module's own
// state live in a CheckContext. A context is bound to the thread that checks
// with it, so that two files are checked at once on two threads, each with its
// own context, exactly as one after the other. A caller that binds none (a
// command-line run, a test) uses the default context, one check at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class CheckContext {
public:
    CheckContext() = default;
    CheckContext(const CheckContext&) = delete;
    CheckContext& operator=(const CheckContext&) = delete;

    // The context's one T (a module's state), made on first use.
    template <typename T>
    T& Slot() {
        const std::size_t index = IndexOf<T>();
        if (index >= slots_.size()) slots_.resize(index + 1);
        if (!slots_[index]) slots_[index] = std::make_unique<Holder<T>>();
        return static_cast<Holder<T>*>(slots_[index].get())->value;
    }

private:
    struct SlotBase {
        virtual ~SlotBase() = default;
    };
    template <typename T>
    struct Holder : SlotBase {
        T value{};
    };
    // Each state type gets its index once, for every context.
    static std::size_t NewIndex();
    template <typename T>
    static std::size_t IndexOf() {
        static const std::size_t index = NewIndex();
        return index;
    }

    std::vector<std::unique_ptr<SlotBase>> slots_;
};

// The context bound to this thread by its innermost ContextScope, or else the
// default context.
CheckContext& Context();

// Binds a context to this thread for the scope; the previous one comes back at its end.
class ContextScope {
public:
    explicit ContextScope(CheckContext& context);
    ~ContextScope();
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    CheckContext* previous_;
};
