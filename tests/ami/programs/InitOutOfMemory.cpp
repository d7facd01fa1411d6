// A process of its own that loads the receiver library, caps its address space just
// above what it uses, and asks AMI_Init for an equaliser of megabytes of taps: the
// std::bad_alloc thrown inside the library must be caught there and reported.
// A fresh process, because a test binary's earlier tests leave free memory
// (thread arenas among it) that malloc would fall back on under the cap.
// Exit status: 0 reported as it should be, 12/13 could not cap, 14 it fitted after
// all (nothing was thrown), 15 no out-of-memory message.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "support/AmiLibrary.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    AmiLibrary lib(argv[1]);
    char parameters[] = "(Velkor_Rx (CDR_Threshold 0))";
    void* memory = nullptr;
    char* message = nullptr;
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    if (pages == 0) return 12;
    const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (1u << 20);
    const rlimit limit{cap, cap};
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 13;
    // 16384 samples per bit: about 128 000 taps with their history and workspace.
    if (lib.Init(nullptr, 0, 0, 1e-10 / 16384, 1e-10, parameters, nullptr, &memory, &message) != 0) return 14;
    if (!message || !std::strstr(message, "ran out of memory in AMI_Init")) return 15;
    lib.Close(memory);
    return 0;
}
