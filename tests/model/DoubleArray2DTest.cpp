#include <gtest/gtest.h>

#include <vector>

#include "model/DoubleArray2D.h"

TEST(DoubleArray2D, AssignmentRule) {
    DoubleArray2D a;
    const std::vector<double> six{1, 2, 3, 4, 5, 6};
    a.Assign(six.data(), 3, 2);
    EXPECT_EQ(a.NumDims, 2);
    EXPECT_EQ(a.Count, 6u);
    EXPECT_EQ(a.Capacity, 6u);
    EXPECT_EQ(a.Lengths, (std::vector<std::uint64_t>{3, 2}));
    EXPECT_EQ(a.Strides, (std::vector<std::uint64_t>{1, 3}));
    EXPECT_EQ(a.Data[4], 5.0);  // set 1, point 1: first dimension contiguous
    const double* storage = a.Data.get();

    // A smaller table keeps the storage and clears what lies beyond it.
    const std::vector<double> two{9, 8};
    a.Assign(two.data(), 2, 1);
    EXPECT_EQ(a.Data.get(), storage);
    EXPECT_EQ(a.Capacity, 6u);
    EXPECT_EQ(a.Count, 2u);
    EXPECT_EQ(a.Lengths, (std::vector<std::uint64_t>{2, 1}));
    EXPECT_EQ(a.Strides, (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(a.Data[1], 8.0);
    for (int i = 2; i < 6; ++i) EXPECT_EQ(a.Data[i], 0.0);

    // A larger one replaces it.
    const std::vector<double> eight(8, 7.0);
    a.Assign(eight.data(), 4, 2);
    EXPECT_EQ(a.Capacity, 8u);
    EXPECT_EQ(a.Data[7], 7.0);
    EXPECT_EQ(a.Length(2), 0u);
}
