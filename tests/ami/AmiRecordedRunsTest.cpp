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

// Digests of RecordedCases() in order. What the model computes (wave, clock times,
// adaptation log) was taken with the library of commit 5e73b43; what it reports
// (AMI_parameters_out) with the library that reports the loop's frequency correction
// in ppm of the bit at every samples per bit.
constexpr std::uint64_t kRecordedOutput[] = {
    0x5b9a6d6c8055406aull, 0x5b9a6d6c8055406aull, 0x5b9a6d6c8055406aull,
    0x6216f826b2a1a481ull, 0x6216f826b2a1a481ull, 0x6216f826b2a1a481ull,
    0xb8136f6444fc57c5ull, 0xb8136f6444fc57c5ull, 0xb8136f6444fc57c5ull,
    0xc28e3a69df6baeecull, 0xc28e3a69df6baeecull, 0xc28e3a69df6baeecull,
    0x6f3fdebdfa29564full, 0x6f3fdebdfa29564full, 0x6f3fdebdfa29564full,
    0xf4ca4a646e83cf99ull, 0xf4ca4a646e83cf99ull, 0xf4ca4a646e83cf99ull,
    0x309926c6fc7be410ull, 0x309926c6fc7be410ull, 0x309926c6fc7be410ull,
    0xc23bc1db433139b1ull, 0xc23bc1db433139b1ull, 0xc23bc1db433139b1ull,
    0x79a5a318037dbda1ull, 0x79a5a318037dbda1ull, 0x79a5a318037dbda1ull,
    0x9206f166c963a362ull, 0x9206f166c963a362ull, 0x9206f166c963a362ull,
    0xc0133a6e30b4b9a3ull, 0xc0133a6e30b4b9a3ull, 0xc0133a6e30b4b9a3ull,
    0x4899f21162664cc4ull, 0x4899f21162664cc4ull, 0x4899f21162664cc4ull,
    0x1099a298a9b6bc39ull, 0x1099a298a9b6bc39ull, 0x1099a298a9b6bc39ull,
    0x2c220aaf6970bd4eull, 0x2c220aaf6970bd4eull, 0x2c220aaf6970bd4eull,
    0xc07cef5cf35c6f3eull, 0x5d7247d6d78388e1ull, 0x8c9538343d771656ull,
};
constexpr std::uint64_t kRecordedState[] = {
    0xb1b753960c4fbb52ull, 0x99ec464726c8b7adull, 0x448f1fa473477ce4ull,
    0xfe76c9fcfe97021cull, 0xe8a2d2839f43fbd9ull, 0xa93f939ccd56c166ull,
    0xc173d0ed3df3a987ull, 0xa9c7cfa19ee41732ull, 0xfd53e7667232ecd6ull,
    0x8375b47b4844ed78ull, 0x094e7ca8ce4d6a88ull, 0xb77797e5c8c06df1ull,
    0xb0b1ed4f5d92e16full, 0x6467887bda00c147ull, 0xa3f1dbb83068b400ull,
    0x868c98a987208231ull, 0x830835653b21adf5ull, 0x1271d8e9e7098699ull,
    0xc43d07697e2f8d1eull, 0xe11c6159c5307dffull, 0x7e47236299568e9dull,
    0x64ae4b26d53303b5ull, 0x518e04959149559full, 0xda08bb0d18afcc38ull,
    0xed1cfc28710cdd8full, 0x61b72f64c1d19f85ull, 0xa997b387632dec29ull,
    0x462becd574cb0bc0ull, 0xf498fb3bc7f37771ull, 0x5300f5face4e9f6dull,
    0x2096c868da836f8cull, 0xedcf0b5220079dc7ull, 0xd6b5c44c7befe383ull,
    0x6caf55ebab1addeaull, 0x22953664b2796390ull, 0x2dea4ff0a685d7f3ull,
    0x830f807743e61e03ull, 0x9cdf8205184d672cull, 0xf6343a554bf871d8ull,
    0xae31888a4ca9103dull, 0x7687da58a2fcbb66ull, 0x20c05bb58a775a8full,
    0xfb425e46582aa7ceull, 0xf76101b34e42f9f7ull, 0x37bee561bc05130aull,
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
    ASSERT_EQ(cases.size(), std::size(kRecordedOutput));
    ASSERT_EQ(cases.size(), std::size(kRecordedState));
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
            EXPECT_EQ(Hex(run.OutputDigest()), Hex(kRecordedOutput[i])) << Name(c) << ", " << path;
            EXPECT_EQ(Hex(run.StateDigest()), Hex(kRecordedState[i])) << Name(c) << ", " << path;
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
