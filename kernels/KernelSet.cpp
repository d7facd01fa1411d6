#include "kernels/KernelSet.h"

namespace CorvaneModelBuilder {

bool KernelSupported(KernelKind kind) {
    switch (kind) {
        case KernelKind::Reference:
        case KernelKind::Sse2: return true;
        case KernelKind::Avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case KernelKind::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    }
    return false;
}

KernelKind BestKernel() {
    if (KernelSupported(KernelKind::Avx512)) return KernelKind::Avx512;
    if (KernelSupported(KernelKind::Avx2)) return KernelKind::Avx2;
    return KernelKind::Sse2;
}

const char* KernelName(KernelKind kind) {
    switch (kind) {
        case KernelKind::Reference: return "reference";
        case KernelKind::Sse2: return "sse2";
        case KernelKind::Avx2: return "avx2";
        case KernelKind::Avx512: return "avx512";
    }
    return "unknown";
}

}  // namespace CorvaneModelBuilder
