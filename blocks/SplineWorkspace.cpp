#include "blocks/SplineWorkspace.h"

namespace CorvaneModelBuilder {

void SplineWorkspace::Reserve(std::int32_t n) {
    if (Capacity >= n) return;
    Release();
    b = new double[n];
    c = new double[n];
    d = new double[n];
    Capacity = n;
}

void SplineWorkspace::Release() {
    delete[] b;
    delete[] c;
    delete[] d;
    b = c = d = nullptr;
    Capacity = 0;
}

// Every expression is evaluated in the written order: the taps built from these
// coefficients must be identical in every build.
std::int32_t SplineWorkspace::ComputeSpline(std::int32_t n, std::int32_t end1, std::int32_t end2,
                                            double slope1, double slope2, const double* x,
                                            const double* y, double* b, double* c, double* d) {
    if (n < 2) return 1;
    const std::int32_t m = n - 1;
    for (std::int32_t i = 1; i <= m; ++i)
        if (x[i - 1] >= x[i]) return 2;

    if (n == 2) {
        b[0] = b[1] = (y[1] - y[0]) / (x[1] - x[0]);
        c[0] = c[1] = d[0] = d[1] = 0.0;
        return 0;
    }

    // Tridiagonal system: d holds the interval widths, c the divided differences.
    d[0] = x[1] - x[0];
    c[1] = (y[1] - y[0]) / d[0];
    for (std::int32_t i = 1; i <= m - 1; ++i) {
        d[i] = x[i + 1] - x[i];
        b[i] = 2.0 * (d[i - 1] + d[i]);
        c[i + 1] = (y[i + 1] - y[i]) / d[i];
        c[i] = c[i + 1] - c[i];
    }

    // End conditions: third derivatives matched to divided differences.
    b[0] = -d[0];
    b[m] = -d[m - 1];
    c[0] = 0.0;
    c[m] = 0.0;
    if (n > 3) {
        c[0] = c[2] / (x[3] - x[1]) - c[1] / (x[2] - x[0]);
        c[m] = c[m - 1] / (x[m] - x[m - 2]) - c[m - 2] / (x[m - 1] - x[m - 3]);
        c[0] = c[0] * d[0] * d[0] / (x[3] - x[0]);
        c[m] = -c[m] * d[m - 1] * d[m - 1] / (x[m] - x[m - 3]);
    }
    if (end1 == 1) {
        b[0] = 2.0 * (x[1] - x[0]);
        c[0] = (y[1] - y[0]) / (x[1] - x[0]) - slope1;
    }
    if (end2 == 1) {
        b[m] = 2.0 * (x[m] - x[m - 1]);
        c[m] = slope2 - (y[m] - y[m - 1]) / (x[m] - x[m - 1]);
    }

    for (std::int32_t i = 1; i <= m; ++i) {
        const double f = d[i - 1] / b[i - 1];
        b[i] = b[i] - f * d[i - 1];
        c[i] = c[i] - f * c[i - 1];
    }

    c[m] = c[m] / b[m];
    for (std::int32_t i = m - 1; i >= 0; --i) c[i] = (c[i] - d[i] * c[i + 1]) / b[i];

    b[m] = (y[m] - y[m - 1]) / d[m - 1] + d[m - 1] * (c[m - 1] + 2.0 * c[m]);
    for (std::int32_t i = 0; i <= m - 1; ++i) {
        b[i] = (y[i + 1] - y[i]) / d[i] - d[i] * (c[i + 1] + 2.0 * c[i]);
        d[i] = (c[i + 1] - c[i]) / d[i];
        c[i] = 3.0 * c[i];
    }
    c[m] = 3.0 * c[m];
    d[m] = d[m - 1];
    return 0;
}

}  // namespace CorvaneModelBuilder
