// The array parameter type of the model's blocks: element storage, number of
// dimensions, length of each dimension, element count and strides (first
// dimension contiguous).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class DoubleArray2D {
public:
    std::unique_ptr<double[]> Data;
    std::uint64_t Capacity = 0;             // elements allocated in Data
    std::int32_t NumDims = 0;
    std::vector<std::uint64_t> Lengths;     // one per dimension
    std::uint64_t Count = 0;                // elements in use
    std::vector<std::uint64_t> Strides;     // stride 0 is 1

    DoubleArray2D() = default;
    DoubleArray2D(const DoubleArray2D&) = delete;
    DoubleArray2D& operator=(const DoubleArray2D&) = delete;

    // Assigns a constant table of length0 x length1 values. The storage is
    // replaced only when it is too small; elements past the table become 0.0.
    void Assign(const double* values, std::uint64_t length0, std::uint64_t length1);

    std::uint64_t Length(int dimension) const {
        return dimension < NumDims ? Lengths[static_cast<std::size_t>(dimension)] : 0;
    }
};
