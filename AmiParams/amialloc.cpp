#include "AmiParams/amialloc.h"

#include <cstdlib>
#include <cstring>

namespace {

// Per thread: a test that counts down on one thread never fails another's allocations.
thread_local long failureCountdown = 0;

bool InjectedFailure() {
    if (failureCountdown <= 0) return false;
    return --failureCountdown == 0;
}

}  // namespace

void SetAllocationFailureCountdown(long n) { failureCountdown = n; }

void* AmiAllocate(std::size_t size) {
    if (size == 0 || InjectedFailure()) return nullptr;
    return std::calloc(1, size);
}

void* AmiReallocate(void* block, std::size_t size) {
    if (size == 0 || InjectedFailure()) return nullptr;
    return std::realloc(block, size);
}

char* AmiCopyText(const char* text, std::size_t n) {
    if (!text) return nullptr;
    const std::size_t length = strnlen(text, n);
    char* copy = static_cast<char*>(AmiAllocate(length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    return copy;
}

void AmiFreeBlock(void* block) { std::free(block); }
