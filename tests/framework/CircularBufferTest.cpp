#include <gtest/gtest.h>

#include <complex>
#include <numeric>
#include <vector>

#include "framework/CircularBuffer.h"

using namespace CorvaneModelBuilder;

namespace {

CircularBuffer<double> Ring(std::vector<double>& cells, std::uint64_t position) {
    CircularBuffer<double> b;
    b.Storage = cells.data();
    b.Capacity = cells.size();
    b.Position = position;
    return b;
}

}  // namespace

TEST(CircularBuffer, OffsetsWrapOnceAroundTheRing) {
    std::vector<double> cells{10, 11, 12, 13};
    auto b = Ring(cells, 2);
    const std::pair<std::uint64_t, double> cases[] = {{0, 12}, {1, 13}, {2, 10}, {3, 11}, {5, 13}};
    for (auto [offset, value] : cases) EXPECT_EQ(b.At(offset), value) << "offset " << offset;
}

TEST(CircularBuffer, CopyToReadsAcrossTheWrap) {
    std::vector<double> src{0, 1, 2, 3};
    std::vector<double> dst(3, -1);
    auto s = Ring(src, 2);
    auto d = Ring(dst, 0);
    s.CopyTo(1, d, 0, 3);  // elements at indices 3, 0, 1
    EXPECT_EQ(dst, (std::vector<double>{3, 0, 1}));
    EXPECT_EQ(s.Position, 2u);
    EXPECT_EQ(d.Position, 0u);
}

TEST(CircularBuffer, CopyToRunsBetweenRingsOfDifferentSize) {
    std::vector<double> src(8);
    std::iota(src.begin(), src.end(), 0.0);
    std::vector<double> dst(3, -1);
    auto s = Ring(src, 6);
    auto d = Ring(dst, 0);
    // Runs: 6-7 -> 0-1, 0 -> 2, 1-2 -> 0-1.
    s.CopyTo(0, d, 0, 5);
    EXPECT_EQ(dst, (std::vector<double>{1, 2, 0}));
}

TEST(CircularBuffer, CopyToCountZeroAndOne) {
    std::vector<double> src{5, 6};
    std::vector<double> dst{-1, -1};
    auto s = Ring(src, 1);
    auto d = Ring(dst, 0);
    s.CopyTo(0, d, 0, 0);
    EXPECT_EQ(dst, (std::vector<double>{-1, -1}));
    s.CopyTo(1, d, 1, 1);
    EXPECT_EQ(dst, (std::vector<double>{-1, 5}));
}

TEST(CircularBuffer, CopyToThroughTheBaseInterface) {
    std::vector<double> src{1, 2, 3};
    std::vector<double> dst(3, 0);
    auto s = Ring(src, 0);
    auto d = Ring(dst, 1);
    CircularBufferBase& base = s;
    base.CopyTo(0, d, 0, 3);
    EXPECT_EQ(dst, (std::vector<double>{3, 1, 2}));
}

TEST(CircularBuffer, ZeroClearsWrappedRangeAndCountZeroIsHarmless) {
    std::vector<double> cells{1, 2, 3, 4};
    auto b = Ring(cells, 3);
    EXPECT_TRUE(b.Zero(0, 0));
    EXPECT_EQ(cells, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_TRUE(b.Zero(0, 2));
    EXPECT_EQ(cells, (std::vector<double>{0, 2, 3, 0}));
}

TEST(CircularBuffer, ZeroClearsBothPartsOfComplex) {
    std::vector<std::complex<double>> cells{{1, 2}, {3, 4}};
    CircularBuffer<std::complex<double>> b;
    b.Storage = cells.data();
    b.Capacity = 2;
    b.Zero(1, 1);
    EXPECT_EQ(cells[1], std::complex<double>(0, 0));
    EXPECT_EQ(cells[0], std::complex<double>(1, 2));
}

TEST(CircularBuffer, CopyElementsCopiesElementSizeBytes) {
    CircularBuffer<int> b;
    int src[3] = {7, 8, 9};
    int dst[3] = {0, 0, 0};
    b.CopyElements(src, dst, 2);
    EXPECT_EQ(dst[0], 7);
    EXPECT_EQ(dst[1], 8);
    EXPECT_EQ(dst[2], 0);
}

TEST(CircularBuffer, AllocateInitialisesOnlyComplex) {
    CircularBuffer<std::complex<double>> c;
    auto* a = c.Allocate(4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i], std::complex<double>(0, 0));
    c.Release(a);
}

// AddressSanitizer's operator new reports exhausted memory instead of throwing.
#ifndef VELKOR_SANITIZED
TEST(CircularBuffer, AllocateOverflowThrowsBadAlloc) {
    CircularBuffer<double> b;
    EXPECT_THROW(b.Allocate(std::numeric_limits<std::uint64_t>::max() / 4), std::bad_alloc);
}
#endif

TEST(CircularBuffer, ReleaseNullTwiceIsHarmless) {
    CircularBuffer<double> b;
    b.Storage = b.Allocate(5);
    b.Capacity = 5;
    b.Position = 3;
    b.Release(nullptr);
    EXPECT_EQ(b.Storage, nullptr);
    EXPECT_EQ(b.Capacity, 0u);
    EXPECT_EQ(b.Position, 0u);
    b.Release(nullptr);
    EXPECT_EQ(b.Storage, nullptr);
}

TEST(CircularBufferBus, ResizeKeepsOrReplacesBuffers) {
    CircularBufferBusT<CircularBuffer<double>> bus;
    EXPECT_EQ(bus.Count, 0u);
    bus.Resize(2);
    ASSERT_EQ(bus.Count, 2u);
    double cell = 0;
    bus.At(1)->Storage = &cell;
    CircularBuffer<double>* array = bus.Buffers;
    bus.Resize(2);
    EXPECT_EQ(bus.Buffers, array);
    EXPECT_EQ(bus.At(1)->Storage, &cell);
    bus.Resize(3);
    EXPECT_EQ(bus.Count, 3u);
    EXPECT_EQ(bus.At(1)->Storage, nullptr);
    CircularBufferBus& base = bus;
    EXPECT_EQ(base.At(2), bus.At(2));
    bus.Resize(0);
    EXPECT_EQ(bus.Count, 0u);
    EXPECT_EQ(bus.Buffers, nullptr);
}
