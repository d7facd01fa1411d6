// The numeric kernels' choice of instruction set at run time: one table of entry
// points per kernel, indexed by the same kinds, the widest the processor has by
// default. Every kernel of a table gives the reference's bits.
#pragma once

namespace CorvaneModelBuilder {

enum class KernelKind { Reference, Sse2, Avx2, Avx512 };

inline constexpr KernelKind kKernelKinds[] = {KernelKind::Reference, KernelKind::Sse2, KernelKind::Avx2,
                                              KernelKind::Avx512};

// Avx2 includes FMA; Avx512 is AVX-512F with AVX2 and FMA beside it.
bool KernelSupported(KernelKind kind);
KernelKind BestKernel();  // the widest the processor has
const char* KernelName(KernelKind kind);

template <typename Fn>
struct KernelSet {
    Fn reference, sse2, avx2, avx512;

    // Null when the processor lacks the kind.
    Fn For(KernelKind kind) const {
        if (!KernelSupported(kind)) return nullptr;
        switch (kind) {
            case KernelKind::Reference: return reference;
            case KernelKind::Sse2: return sse2;
            case KernelKind::Avx2: return avx2;
            case KernelKind::Avx512: return avx512;
        }
        return nullptr;
    }
};

}  // namespace CorvaneModelBuilder
