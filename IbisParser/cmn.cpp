#include "IbisParser/cmn.h"

#include <cstdlib>
#include <cstring>

#include "IbisParser/report.h"

namespace {

constexpr const char* kModule = "cmn.cpp";
long failureCountdown = 0;

bool InjectedFailure() {
    if (failureCountdown <= 0) return false;
    return --failureCountdown == 0;
}

void* Allocate(std::size_t size) { return InjectedFailure() ? nullptr : std::calloc(1, size); }

}  // namespace

void SetAllocationFailureCountdown(long n) { failureCountdown = n; }

void SkipBlanks(char** cursor) {
    IBIS_ASSERT(kModule, cursor != nullptr && *cursor != nullptr);
    while (IsBlank(**cursor)) ++*cursor;
}

void SkipBlanks(const char** cursor) {
    IBIS_ASSERT(kModule, cursor != nullptr && *cursor != nullptr);
    while (IsBlank(**cursor)) ++*cursor;
}

char* CheckStrDup(const char* text) {
    IBIS_ASSERT(kModule, text != nullptr);
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(Allocate(size));
    if (!copy) {
        ReportError(1906, static_cast<unsigned>(size));
        ReportBug(1908, kModule, 1878);
        return nullptr;
    }
    std::memcpy(copy, text, size);
    return copy;
}

char* CheckStrNDup(const char* text, std::size_t n) {
    IBIS_ASSERT(kModule, text != nullptr);
    const std::size_t length = strnlen(text, n);
    char* copy = static_cast<char*>(Allocate(length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    return copy;
}

int CheckAlloc(void** pointer, std::size_t size) {
    IBIS_ASSERT(kModule, pointer != nullptr && size != 0);
    *pointer = Allocate(size);
    if (!*pointer) {
        ReportError(1906, static_cast<unsigned>(size));
        return 0;
    }
    return 1;
}

int CheckRealloc(void** pointer, std::size_t size) {
    IBIS_ASSERT(kModule, pointer != nullptr && size != 0);
    void* grown = InjectedFailure() ? nullptr : std::realloc(*pointer, size);
    if (!grown) {
        ReportError(1907, static_cast<unsigned>(size));
        return 0;
    }
    *pointer = grown;
    return 1;
}

void CheckFree(void** pointer) {
    IBIS_ASSERT(kModule, pointer != nullptr && *pointer != nullptr);
    std::free(*pointer);
    *pointer = nullptr;
}
