// AMI_GetWave must not allocate once an instance has seen a call of its size:
// this test binary counts every operator new of the process.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // the replacements pair malloc and free
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "ami/AmiModelInstance.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

TEST(GetWaveAllocations, NoneForRepeatedCallsOfOneSize) {
    ScratchDirectory scratch;
    const auto wave = testwave::Channel(testwave::Prbs7(2800), 16, 0.3, 6.0);  // 44800 samples
    for (auto getWave : {ami::GetWave, ami::GetWaveSampleBySample}) {
        void* memory = nullptr;
        std::string params = "(Velkor_Rx (CDR_Threshold 3))";
        ASSERT_EQ(ami::Init(nullptr, 0, 0, 6.25e-12, 1e-10, params.data(), nullptr, &memory, nullptr), 1);
        std::vector<double> block(1000), times(1001);
        char* state = nullptr;  // the reported state is written without allocating as well
        // The first call sizes the scratch lists and writes the log's first lines.
        std::copy(wave.begin(), wave.begin() + 1000, block.begin());
        ASSERT_EQ(getWave(block.data(), 1000, times.data(), &state, memory), 1);
        const long before = allocations.load();
        // The rest stays below sample 50000, where the log is appended to (a file
        // opened and closed, which allocates).
        for (std::size_t pos = 1000; pos + 1000 <= wave.size(); pos += 1000) {
            std::copy(wave.begin() + static_cast<std::ptrdiff_t>(pos),
                      wave.begin() + static_cast<std::ptrdiff_t>(pos + 1000), block.begin());
            ASSERT_EQ(getWave(block.data(), 1000, times.data(), &state, memory), 1);
        }
        EXPECT_EQ(allocations.load() - before, 0);
        EXPECT_NE(state, nullptr);
        ami::Close(memory);
    }
}
