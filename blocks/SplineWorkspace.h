// Cubic spline coefficients (Forsythe, Malcolm and Moler) with optional end slopes.
#pragma once

#include <cstdint>

namespace CorvaneModelBuilder {

class SplineWorkspace {
public:
    std::int32_t Capacity = 0;
    double* b = nullptr;
    double* c = nullptr;
    double* d = nullptr;

    SplineWorkspace() = default;
    SplineWorkspace(const SplineWorkspace&) = delete;
    SplineWorkspace& operator=(const SplineWorkspace&) = delete;
    ~SplineWorkspace() { Release(); }

    // Makes room for n knots; the arrays are reused while they are large enough.
    void Reserve(std::int32_t n);
    void Release();

    // Afterwards S(u) = y[i] + b[i]*w + c[i]*w*w + d[i]*w*w*w with w = u - x[i] on
    // [x[i], x[i+1]]. Returns 0, 1 (fewer than two points) or 2 (x not ascending).
    // endN = 1 imposes slopeN at that end; 0 takes the third derivative from
    // divided differences.
    static std::int32_t ComputeSpline(std::int32_t n, std::int32_t end1, std::int32_t end2,
                                      double slope1, double slope2, const double* x,
                                      const double* y, double* b, double* c, double* d);
    std::int32_t ComputeSpline(std::int32_t n, std::int32_t end1, std::int32_t end2, double slope1,
                               double slope2, const double* x, const double* y) {
        return ComputeSpline(n, end1, end2, slope1, slope2, x, y, b, c, d);
    }
};

}  // namespace CorvaneModelBuilder
