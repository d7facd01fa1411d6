// Fuzz target: the IBIS file frame and its keyword handlers on .ibs, .pkg and
// .ebd content (the first byte picks the kind).
#include "fuzz/FuzzCheckerFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char* const names[] = {"fuzz_input.ibs", "fuzz_input.pkg", "fuzz_input.ebd"};
    const int kind = data[0] % 3;
    CheckFuzzFile(names[kind], kFileIbs + kind, data + 1, size - 1);
    return 0;
}
