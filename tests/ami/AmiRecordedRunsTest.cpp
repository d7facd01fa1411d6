// Every path of the receiver against the records of the library before the
// block path was restructured: the shipped library, the block path with each
// FIR and tanh kernel the processor has, and the sample-by-sample reference all
// give the recorded waveform, clock times, reported state and adaptation log.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ami/AmiModelInstance.h"
#include "kernels/FirKernels.h"
#include "kernels/TanhKernels.h"
#include "support/AmiLibrary.h"
#include "support/RecordedCases.h"
#include "support/RecordedRun.h"
#include "support/ScratchDirectory.h"

using CorvaneModelBuilder::KernelKind;

namespace {

// Digests of RecordedCases() in order, taken with the library of commit 5e73b43.
constexpr std::uint64_t kRecorded[] = {
    0xbaf81f3067f62cccull, 0x2c6ad2d4639553b0ull, 0x99267ceb96fef2c5ull,
    0x939988889b959275ull, 0x07114cace123b0d0ull, 0x64c1d8e7dee4d2dcull,
    0x4f50484e63bbe6a5ull, 0x684ac241c1f6bdb3ull, 0xd9da1c0cb15e6c55ull,
    0xf66814a61a47a12eull, 0x8ae23d75703b2659ull, 0xa1ae89778b8e8e0eull,
    0x376c99653aaa3dc1ull, 0x29d7e4caf8897fa9ull, 0x914c4ab9a7016190ull,
    0xc4140868fa583575ull, 0xa5246bb4a6c29239ull, 0xe1936c31509e9b9dull,
    0x2b2bbeb8468a2ee4ull, 0x838a0d3b2124994bull, 0x70ab85e1790084c0ull,
    0xf1f571fc5ecbf0e1ull, 0x7d482bad9e92dd61ull, 0x03d50568056c14a3ull,
    0xb7aeb82265c0cd37ull, 0x87e3b26c6dc953beull, 0xa0f424cc04af7a52ull,
    0xb3c4c665746a0ccbull, 0xcc79e897f558524full, 0x3a6ece2321e2f0d5ull,
    0x7d1cd143ced6a2a3ull, 0xb07d22b5e9be20deull, 0x4cec7fe75185ec89ull,
    0x5e3ef16bf5b70817ull, 0x1ba43d06084057dbull, 0x2b28249630cd34a6ull,
    0x7317856f437f0d5bull, 0xd89ba2e12e312d7aull, 0x24da0ba92bf2f9beull,
    0x816633eed96e7bceull, 0xb8a2879b00c6c15aull, 0xf117a89799d0112bull,
    0x72ba925004ff1d77ull, 0xe895f53c1754f8d8ull, 0x02138ed10780651dull,
};

long InitInProcess(double* impulse, long rows, long aggressors, double interval, double bitTime, char* in,
                   char** out, void** memory, char** message) {
    return ami::Init(impulse, rows, aggressors, interval, bitTime, in, out, memory, message);
}

// The kernels the block path of the next in-process run uses.
KernelKind kernels = KernelKind::Reference;

long GetWaveWithKernels(double* wave, long size, double* clockTimes, char** out, void* memory) {
    auto* instance = static_cast<AmiModelInstance*>(memory);
    instance->model.SetKernels(kernels);
    return ami::GetWave(wave, size, clockTimes, out, memory);
}

std::string Name(const RecordedCase& c) {
    std::string calls;
    for (std::size_t n : c.calls) calls += " " + std::to_string(n);
    return c.parameters + " wave " + std::to_string(c.wave) + " spb " + std::to_string(c.samplesPerBit) +
           " calls" + calls;
}

std::string Hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(v));
    return text;
}

}  // namespace

TEST(RecordedRuns, EveryPathReproducesThePreviousLibraryBitForBit) {
    ScratchDirectory scratch;
    const auto cases = RecordedCases();
    ASSERT_EQ(cases.size(), std::size(kRecorded));
    AmiLibrary shipped;
    for (std::size_t i = 0; i < cases.size(); ++i) {
#ifdef VELKOR_SANITIZED
        if (i % 3 != 0) continue;  // under the sanitizers one call pattern of each
#endif
        const RecordedCase& c = cases[i];
        const auto wave = RecordedWave(c.wave, c.samplesPerBit);
        auto check = [&](const EntryPoints& entry, const std::string& path) {
            const RecordedRun run = Record(entry, c.parameters, c.samplesPerBit, wave, c.calls);
            EXPECT_TRUE(run.ok) << Name(c) << ", " << path;
            EXPECT_EQ(Hex(run.Digest()), Hex(kRecorded[i])) << Name(c) << ", " << path;
        };
        check({shipped.Init, shipped.GetWave, shipped.Close}, "shipped library");
        check({InitInProcess, ami::GetWaveSampleBySample, ami::Close}, "sample by sample");
        for (KernelKind kind : CorvaneModelBuilder::kKernelKinds) {
            if (!CorvaneModelBuilder::KernelSupported(kind)) continue;
            kernels = kind;
            check({InitInProcess, GetWaveWithKernels, ami::Close},
                  std::string("block path, ") + CorvaneModelBuilder::KernelName(kind) + " kernels");
        }
    }
}
