// Fuzz target: the check of an .ami parameter-definition file.
#include "fuzz/FuzzCheckerFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckFuzzFile("fuzz_input.ami", kFileAmi, data, size);
    return 0;
}
