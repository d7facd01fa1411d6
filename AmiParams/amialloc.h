// Memory of the AMI parameter reader: zero-filled blocks, released through a
// pointer to the pointer, which is then cleared. Exhausted memory is returned
// as a failure, never reported: the reader runs inside a simulator's process,
// and its callers decide what a failure means.
#pragma once

#include <cctype>
#include <cstddef>

// A blank of the AMI text: what isspace holds in the default locale, never a
// character above 127.
inline bool IsAmiBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 128 && std::isspace(u) != 0;
}

// A zero-filled block of `size` bytes; null when memory is exhausted.
void* AmiAllocate(std::size_t size);
// The block resized; null (and the block left as it was) when memory is exhausted.
void* AmiReallocate(void* block, std::size_t size);
// A copy of the first n characters (at most up to the text's end) with a
// terminator; null when memory is exhausted.
char* AmiCopyText(const char* text, std::size_t n);

template <typename T>
bool AmiAlloc(T** pointer, std::size_t size) {
    *pointer = static_cast<T*>(AmiAllocate(size));
    return *pointer != nullptr;
}
template <typename T>
bool AmiRealloc(T** pointer, std::size_t size) {
    void* grown = AmiReallocate(*pointer, size);
    if (!grown) return false;
    *pointer = static_cast<T*>(grown);
    return true;
}
// Frees the block (null is accepted) and clears the pointer.
void AmiFreeBlock(void* block);
template <typename T>
void AmiFree(T** pointer) {
    AmiFreeBlock(const_cast<void*>(static_cast<const void*>(*pointer)));
    *pointer = nullptr;
}

// Test hook: the n-th allocation from now on, on this thread, fails (0 switches
// it off), so that the clean-up after exhausted memory can be exercised.
void SetAllocationFailureCountdown(long n);
