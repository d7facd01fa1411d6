// Scalar type conversion blocks and their rounding policy.
#pragma once

#include <cmath>
#include <cstdint>

#include "framework/CircularBuffer.h"
#include "framework/DFModel.h"

namespace CorvaneModelBuilder {

// Round to nearest, halves away from zero, saturated to int32; NaN -> INT32_MIN.
struct TypeConverterRound {
    static std::int32_t Convert(double x) {
        const double r = std::round(x);
        if (r > 2147483647.0) return 2147483647;
        if (r < -2147483648.0) return -2147483647 - 1;
        if (r != r) return -2147483647 - 1;
        return static_cast<std::int32_t>(r);
    }
};

template <typename Base>
class TypeConverterBase : public Base {};

template <typename In, typename Out, typename Policy, typename Base>
class TypeConverter : public TypeConverterBase<Base> {
public:
    In Input;
    Out Output;
};

template <typename In, typename Out, typename Policy, typename Base>
class ScalarToScalar : public TypeConverter<In, Out, Policy, Base> {
public:
    bool Run() override {
        this->Output.Current() = Policy::Convert(this->Input.Current());
        return true;
    }
};

using RoundingConverter =
    ScalarToScalar<CircularBuffer<double>, CircularBuffer<int>, TypeConverterRound, DFModel>;

extern template class ScalarToScalar<CircularBuffer<double>, CircularBuffer<int>, TypeConverterRound,
                                     DFModel>;

}  // namespace CorvaneModelBuilder
