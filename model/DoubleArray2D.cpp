#include "model/DoubleArray2D.h"

#include <algorithm>

void DoubleArray2D::Assign(const double* values, std::uint64_t length0, std::uint64_t length1) {
    if (NumDims < 2) {
        Lengths.assign(2, 0);
        Strides.assign(2, 0);
    }
    NumDims = 2;
    Count = length0 * length1;
    if (Capacity < Count) {
        Data.reset(new double[Count]);
        Capacity = Count;
    }
    Lengths[0] = length0;
    Lengths[1] = length1;
    std::uint64_t stride = 1;
    for (std::size_t i = 0; i < 2; ++i) {
        Strides[i] = stride;
        stride *= Lengths[i];
    }
    std::copy(values, values + Count, Data.get());
    std::fill(Data.get() + Count, Data.get() + Capacity, 0.0);
}
