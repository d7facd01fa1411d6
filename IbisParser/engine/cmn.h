// Common utilities of the checker library: blank skipping and the allocation
// helpers that report exhausted memory. Memory is zero-filled on allocation and
// released through a pointer to the pointer, which is then cleared.
#pragma once

#include <cctype>
#include <cstddef>

#include "AmiParams/amialloc.h"

inline bool IsBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 128 && std::isspace(u) != 0;
}

// Advances the cursor over every blank (a run of any length).
void SkipBlanks(char** cursor);
void SkipBlanks(const char** cursor);

char* CheckStrDup(const char* text);
char* CheckStrNDup(const char* text, std::size_t n);
int CheckAlloc(void** pointer, std::size_t size);
int CheckRealloc(void** pointer, std::size_t size);
void CheckFree(void** pointer);

template <typename T>
int CheckAlloc(T** pointer, std::size_t size) {
    void* p = *pointer;
    const int ok = CheckAlloc(&p, size);
    *pointer = static_cast<T*>(p);
    return ok;
}
template <typename T>
int CheckRealloc(T** pointer, std::size_t size) {
    void* p = *pointer;
    const int ok = CheckRealloc(&p, size);
    *pointer = static_cast<T*>(p);
    return ok;
}
template <typename T>
void CheckFree(T** pointer) {
    void* p = const_cast<void*>(static_cast<const void*>(*pointer));
    CheckFree(&p);
    *pointer = nullptr;
}

// The checker allocates as the AMI parameter reader does, so that the reader's
// test hook (SetAllocationFailureCountdown) fails the checker's allocations too.
