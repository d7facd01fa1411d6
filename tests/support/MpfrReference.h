// MPFR as the independent reference of the correctly rounded functions: the
// double nearest to f(x), subnormal results rounded once.
#pragma once

#include <mpfr.h>

using MpfrFunction = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

inline double MpfrNearest(MpfrFunction f, double x) {
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    mpfr_t a, r;
    mpfr_init2(a, 53);
    mpfr_init2(r, 53);
    mpfr_set_d(a, x, MPFR_RNDN);
    const int t = f(r, a, MPFR_RNDN);
    mpfr_subnormalize(r, t, MPFR_RNDN);
    const double v = mpfr_get_d(r, MPFR_RNDN);
    mpfr_clear(a);
    mpfr_clear(r);
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    return v;
}
