// The correctly rounded kernels against MPFR, an independent arbitrary-precision
// reference: special values, random arguments over every binade that matters,
// the edge where tanh saturates to 1, and arguments searched out for lying as
// close as possible to a rounding boundary; and the vector tanh against the scalar.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernels/CorrectlyRounded.h"
#include "kernels/ExpTable.h"
#include "kernels/TanhKernels.h"
#include "support/MpfrReference.h"

using namespace CorvaneModelBuilder;

namespace {

struct Function {
    const char* name;
    double (*ours)(double);
    MpfrFunction reference;
};

const Function kTanh{"tanh", crmath::Tanh, mpfr_tanh};
const Function kExp{"exp", crmath::Exp, mpfr_exp};
const Function kAcos{"acos", crmath::Acos, mpfr_acos};

double Reference(MpfrFunction f, double x) { return MpfrNearest(f, x); }

std::uint64_t BitsOf(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

double FromBits(std::uint64_t b) {
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// Samples per function: the build sets the default (fewer under the sanitizers),
// VELKOR_CR_SAMPLES overrides it (make crcheck runs ten million).
long SampleCount() {
    if (const char* env = std::getenv("VELKOR_CR_SAMPLES")) return std::atol(env);
    return VELKOR_CR_DEFAULT_SAMPLES;
}

// Checks `xs` and returns how many disagree, printing the first few.
long Mismatches(const Function& f, const std::vector<double>& xs) {
    long bad = 0;
    for (double x : xs) {
        const double got = f.ours(x), want = Reference(f.reference, x);
        if (BitsOf(got) != BitsOf(want) && !(got != got && want != want)) {
            if (++bad <= 5) ADD_FAILURE() << f.name << "(" << std::hexfloat << x << ") = " << got << ", not " << want;
        }
    }
    return bad;
}

// x = ±m 2^e with m uniform in [1, 2) and e uniform in [lo, hi].
std::vector<double> Binades(std::mt19937_64& rng, long count, int lo, int hi, bool bothSigns) {
    std::uniform_real_distribution<double> mant(1.0, 2.0);
    std::vector<double> xs(static_cast<std::size_t>(count));
    for (auto& x : xs) {
        x = std::ldexp(mant(rng), lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)));
        if (bothSigns && (rng() & 1)) x = -x;
    }
    return xs;
}

std::vector<double> Uniform(std::mt19937_64& rng, long count, double lo, double hi) {
    std::uniform_real_distribution<double> d(lo, hi);
    std::vector<double> xs(static_cast<std::size_t>(count));
    for (auto& x : xs) x = d(rng);
    return xs;
}

}  // namespace

TEST(CorrectlyRounded, SpecialValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double minSub = std::numeric_limits<double>::denorm_min();
    const double pi = Reference(mpfr_acos, -1.0);
    struct Case {
        const Function& f;
        double x, want;
    } cases[] = {
        {kTanh, 0.0, 0.0},        {kTanh, -0.0, -0.0},          {kTanh, minSub, minSub},
        {kTanh, -minSub, -minSub}, {kTanh, -2.5e-310, -2.5e-310}, {kTanh, 0x1.fffffffffffffp-28, 0x1.fffffffffffffp-28},
        {kTanh, inf, 1.0},        {kTanh, -inf, -1.0},          {kTanh, 1e300, 1.0},
        {kTanh, -19.0625, -1.0},  {kTanh, 710.0, 1.0},
        {kExp, 0.0, 1.0},         {kExp, -0.0, 1.0},            {kExp, inf, inf},
        {kExp, -inf, 0.0},        {kExp, 709.79, inf},          {kExp, 1e308, inf},
        {kExp, -745.14, 0.0},     {kExp, -746.0, 0.0},          {kExp, 0x1p-60, 1.0},
        {kExp, -0x1p-60, 1.0},    {kExp, minSub, 1.0},          {kExp, 1.0, Reference(mpfr_exp, 1.0)},
        {kAcos, 1.0, 0.0},        {kAcos, -1.0, pi},            {kAcos, 0.0, Reference(mpfr_acos, 0.0)},
        {kAcos, -0.0, Reference(mpfr_acos, 0.0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BitsOf(c.f.ours(c.x)), BitsOf(c.want)) << c.f.name << "(" << std::hexfloat << c.x << ")";
    // Outside the domain of the arccosine: NaN.
    for (double x : {1.0000000000000002, -1.0000000000000002, inf, -inf, 3.0})
        EXPECT_TRUE(std::isnan(crmath::Acos(x))) << x;
    // NaN in, the same NaN out (a signalling one comes back quiet).
    for (std::uint64_t bits : {0x7ff8000000000000ull, 0xfff8000000001234ull, 0x7ffc0000deadbeefull, 0x7ff0000000000001ull})
        for (const Function* f : {&kTanh, &kExp, &kAcos}) {
            const std::uint64_t got = BitsOf(f->ours(FromBits(bits)));
            EXPECT_EQ(got, bits | 0x0008000000000000ull) << f->name << " " << std::hex << bits;
        }
}

TEST(CorrectlyRounded, RandomArgumentsOverEveryBinadeMatchMpfr) {
    const long n = SampleCount();
    std::mt19937_64 rng(20261206);
    // tanh: from the subnormals to saturation, most where the fast path works.
    EXPECT_EQ(Mismatches(kTanh, Binades(rng, n / 20, -1074, -28, true)), 0);
    EXPECT_EQ(Mismatches(kTanh, Binades(rng, n / 2, -30, 4, true)), 0);
    EXPECT_EQ(Mismatches(kTanh, Uniform(rng, n / 4, -8.0, 8.0)), 0);
    EXPECT_EQ(Mismatches(kTanh, Uniform(rng, n / 5, -40.0, 40.0)), 0);
    // exp: every result range (subnormal, normal, overflowing) and the small arguments.
    EXPECT_EQ(Mismatches(kExp, Uniform(rng, n / 10, -746.0, 710.0)), 0);
    EXPECT_EQ(Mismatches(kExp, Binades(rng, n / 20, -60, 9, true)), 0);
    EXPECT_EQ(Mismatches(kExp, Uniform(rng, n / 100, -745.2, -707.0)), 0);
    // acos (the slow kernel: fewer), with the ends of the domain and around ±1/2.
    EXPECT_EQ(Mismatches(kAcos, Uniform(rng, n / 500, -1.0, 1.0)), 0);
    std::vector<double> ends;
    for (double x : Binades(rng, n / 2000, -53, -1, false)) ends.insert(ends.end(), {1 - x, x - 1, 0.5 + x / 4, -0.5 - x / 4});
    EXPECT_EQ(Mismatches(kAcos, ends), 0);
}

TEST(CorrectlyRounded, ExponentialTableIsTwoToTheJOver1024InDoubleDouble) {
    // The table of the argument reduction: hi is the nearest double to 2^(j/1024)
    // and hi + lo is within 2^-106 of it, the bound the error analysis uses. The
    // vector kernels take each pair in one aligned 16-byte load.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&crmath::kExpTable[0][0]) % 16, 0u);
    mpfr_t exact, sum;
    mpfr_inits2(300, exact, sum, static_cast<mpfr_ptr>(nullptr));
    for (int j = 0; j < 1024; ++j) {
        mpfr_set_ui(exact, static_cast<unsigned>(j), MPFR_RNDN);
        mpfr_div_ui(exact, exact, 1024, MPFR_RNDN);
        mpfr_exp2(exact, exact, MPFR_RNDN);
        EXPECT_EQ(crmath::kExpTable[j][0], mpfr_get_d(exact, MPFR_RNDN)) << j;
        mpfr_set_d(sum, crmath::kExpTable[j][0], MPFR_RNDN);
        mpfr_add_d(sum, sum, crmath::kExpTable[j][1], MPFR_RNDN);
        mpfr_sub(sum, sum, exact, MPFR_RNDN);
        mpfr_div(sum, sum, exact, MPFR_RNDN);
        EXPECT_LE(std::fabs(mpfr_get_d(sum, MPFR_RNDN)), 0x1p-106) << j;
    }
    mpfr_clears(exact, sum, static_cast<mpfr_ptr>(nullptr));
}

TEST(CorrectlyRounded, TanhAroundItsSaturationToOne) {
    // The smallest double whose tanh rounds to 1, then 2000 doubles on each side.
    double lo = 18.0, hi = 20.0;
    while (std::nextafter(lo, hi) < hi) {
        const double mid = lo + (hi - lo) / 2;
        (Reference(mpfr_tanh, mid) == 1.0 ? hi : lo) = mid;
    }
    std::vector<double> xs;
    double x = hi;
    for (int i = 0; i < 2000; ++i) x = std::nextafter(x, 0.0);
    for (int i = 0; i < 4000; ++i, x = std::nextafter(x, 100.0)) xs.insert(xs.end(), {x, -x});
    EXPECT_EQ(Mismatches(kTanh, xs), 0);
    EXPECT_EQ(crmath::Tanh(hi), 1.0);
    EXPECT_LT(crmath::Tanh(std::nextafter(hi, 0.0)), 1.0);
}

namespace {

// Hard cases: arguments x whose f(x) lies within `distance` (in units in the last
// place of the result) of a midpoint between two doubles. Near a midpoint the
// rounding test of the fast path fails and the exact path decides. `solve` gives
// the real argument of the midpoint number `n`; the doubles around it are tried.
struct HardCase {
    double x;
    double distance;
};

double UlpsFromMidpoint(MpfrFunction f, double x) {
    mpfr_t a, r, rounded, diff;
    mpfr_inits2(300, a, r, rounded, diff, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_d(a, x, MPFR_RNDN);
    f(r, a, MPFR_RNDN);
    const double nearest = mpfr_get_d(r, MPFR_RNDN);
    const double next = std::nextafter(nearest, mpfr_cmp_d(r, nearest) > 0 ? INFINITY : -INFINITY);
    // Midpoint between the nearest double and its neighbour on the side of f(x).
    mpfr_set_d(rounded, nearest, MPFR_RNDN);
    mpfr_add_d(rounded, rounded, next, MPFR_RNDN);
    mpfr_div_2ui(rounded, rounded, 1, MPFR_RNDN);
    mpfr_sub(diff, r, rounded, MPFR_RNDN);
    const double d = std::fabs(mpfr_get_d(diff, MPFR_RNDN) / std::fabs(next - nearest));
    mpfr_clears(a, r, rounded, diff, static_cast<mpfr_ptr>(nullptr));
    return d;
}

template <typename Solve>
std::vector<HardCase> NearMidpoints(MpfrFunction f, int count, Solve solve) {
    std::vector<HardCase> found;
    mpfr_t x;
    mpfr_init2(x, 300);
    for (int n = 0; n < count; ++n) {
        solve(x, n);
        double c = mpfr_get_d(x, MPFR_RNDN);
        c = std::nextafter(c, -INFINITY);
        for (int k = 0; k < 3; ++k, c = std::nextafter(c, INFINITY)) found.push_back({c, UlpsFromMidpoint(f, c)});
    }
    mpfr_clear(x);
    return found;
}

// x = base + steps 2^scale, exactly.
void Midpoint(mpfr_ptr x, double base, double steps, int scale) {
    mpfr_set_d(x, steps, MPFR_RNDN);
    mpfr_mul_2si(x, x, scale, MPFR_RNDN);
    mpfr_add_d(x, x, base, MPFR_RNDN);
}

// The argument where x - tanh x = (n + 1/2) ulp(x) in [2^e, 2^(e+1)), by bisection.
void TinyTanhMidpoint(mpfr_ptr x, int e, double target) {
    mpfr_t lo, hi, t;
    mpfr_inits2(300, lo, hi, t, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_ui_2exp(lo, 1, e, MPFR_RNDN);
    mpfr_set_ui_2exp(hi, 1, e + 1, MPFR_RNDN);
    for (int i = 0; i < 200; ++i) {
        mpfr_add(x, lo, hi, MPFR_RNDN);
        mpfr_div_2ui(x, x, 1, MPFR_RNDN);
        mpfr_tanh(t, x, MPFR_RNDN);
        mpfr_sub(t, x, t, MPFR_RNDN);
        mpfr_div_2si(t, t, e - 52, MPFR_RNDN);
        mpfr_swap(mpfr_cmp_d(t, target) < 0 ? lo : hi, x);
    }
    mpfr_set(x, lo, MPFR_RNDN);
    mpfr_clears(lo, hi, t, static_cast<mpfr_ptr>(nullptr));
}

}  // namespace

TEST(CorrectlyRounded, HardToRoundArgumentsFoundBySearch) {
    std::vector<std::pair<const Function*, HardCase>> cases;
    auto add = [&](const Function& f, const std::vector<HardCase>& found) {
        for (const auto& h : found)
            if (!std::isnan(Reference(f.reference, h.x))) cases.push_back({&f, h});
    };
    // tanh of small arguments: x - x^3/3 + ..., the cubic term crossing half units.
    for (int e : {-25, -22, -19, -16, -13}) {
        const double lowest = std::ldexp(1.0, 2 * e + 52) / 3;  // x - tanh x at 2^e, in ulp(x)
        add(kTanh, NearMidpoints(mpfr_tanh, 12, [&](mpfr_ptr x, int n) {
                TinyTanhMidpoint(x, e, std::floor(lowest * (1 + n * 0.5)) + 0.5);
            }));
    }
    // tanh near saturation: 1 - tanh a = (n + 1/2) 2^-53.
    add(kTanh, NearMidpoints(mpfr_tanh, 40, [](mpfr_ptr x, int n) {
            Midpoint(x, 1.0, -(5 * n + 0.5), -53);
            mpfr_atanh(x, x, MPFR_RNDN);
        }));
    // tanh around 1/2, where the exponent of the result changes.
    add(kTanh, NearMidpoints(mpfr_tanh, 40, [](mpfr_ptr x, int n) {
            if (n < 20) Midpoint(x, 0.5, -(n + 0.5), -54);
            else Midpoint(x, 0.5, n - 19.5, -53);
            mpfr_atanh(x, x, MPFR_RNDN);
        }));
    // exp of small arguments: 1 + (N + 1/2) 2^-52 above 1 and 1 - (N + 1/2) 2^-53 below.
    add(kExp, NearMidpoints(mpfr_exp, 40, [](mpfr_ptr x, int n) {
            const double big = std::ldexp(1.0, 2 * (n % 20));
            if (n < 20) Midpoint(x, 0.0, big + 0.5, -52);
            else Midpoint(x, 0.0, -(big + 0.5), -53);
            mpfr_log1p(x, x, MPFR_RNDN);
        }));
    // acos close to 1 and -1, where acos x ~ sqrt(2 (1 - x)).
    add(kAcos, NearMidpoints(mpfr_acos, 8, [](mpfr_ptr x, int n) {
            mpfr_set_d(x, std::ldexp(1.0, -5 - 3 * n), MPFR_RNDN);
            mpfr_cos(x, x, MPFR_RNDN);
        }));

    std::vector<double> xs;
    double closest = 1.0;
    int veryHard = 0;
    for (const auto& [f, h] : cases) {
        EXPECT_EQ(BitsOf(f->ours(h.x)), BitsOf(Reference(f->reference, h.x)))
            << f->name << "(" << std::hexfloat << h.x << "), " << std::defaultfloat << h.distance << " ulp from a midpoint";
        if (h.distance > 0) closest = std::min(closest, h.distance);  // 0: an exact result, acos(1)
        veryHard += h.distance < 0x1p-30;
    }
    // The search has to find what it looks for: results far closer to a midpoint
    // than the fast path can decide (2^-20 ulp).
    EXPECT_GT(veryHard, 50);
    std::printf("%zu searched arguments, %d within 2^-30 ulp of a midpoint, the closest %.3g ulp (2^%.1f)\n",
                cases.size(), veryHard, closest, std::log2(closest));
}

// Every tanh kernel the processor has, over all of xs at once, against the scalar function.
static void ExpectEveryTanhKernelGivesTheScalarBits(const std::vector<double>& xs, const char* what) {
    std::vector<double> want(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i) want[i] = crmath::Tanh(xs[i]);
    for (KernelKind kind : kKernelKinds) {
        const TanhKernel kernel = kTanhKernels.For(kind);
        if (!kernel) continue;
        std::vector<double> y(xs.size());
        kernel(xs.data(), y.data(), xs.size());
        EXPECT_EQ(std::memcmp(y.data(), want.data(), y.size() * sizeof(double)), 0) << KernelName(kind) << ", " << what;
    }
}

TEST(TanhKernels, EveryKernelGivesTheScalarBitsInPlaceOrNot) {
    // Random arguments over the binades, special values and arguments next to the
    // edges of the fast path, mixed with arguments so close to a rounding boundary
    // that their lanes take the exact path.
    std::mt19937_64 rng(18);
    std::vector<double> xs = Binades(rng, 60000, -40, 5, true);
    const auto tiny = Binades(rng, 2000, -1074, -20, true);
    xs.insert(xs.end(), tiny.begin(), tiny.end());
    const double inf = std::numeric_limits<double>::infinity();
    for (double s : {0.0, -0.0, inf, -inf, FromBits(0x7ff800000000abcdull), FromBits(0xfff0000000000001ull),
                     std::numeric_limits<double>::denorm_min(), 0x1p-27, 19.0625, 1e300})
        for (double edge : {s, std::nextafter(s, 0.0), std::nextafter(s, inf), -s}) xs.push_back(edge);
    for (const auto& h : NearMidpoints(mpfr_tanh, 100, [](mpfr_ptr x, int n) {
             Midpoint(x, 1.0, -(n + 0.5), -53);
             mpfr_atanh(x, x, MPFR_RNDN);
         }))
        xs.insert(xs.end(), {h.x, -h.x});
    std::shuffle(xs.begin(), xs.end(), rng);

    ExpectEveryTanhKernelGivesTheScalarBits(xs, "all arguments");
    std::vector<double> want(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i) want[i] = crmath::Tanh(xs[i]);
    for (KernelKind kind : kKernelKinds) {
        const TanhKernel kernel = kTanhKernels.For(kind);
        if (!kernel) continue;
        // Every length up to two vectors and beyond, at every offset, in place.
        for (std::size_t count = 0; count <= 35; ++count) {
            std::vector<double> inPlace(xs.begin() + 3, xs.begin() + 3 + static_cast<std::ptrdiff_t>(count));
            kernel(inPlace.data(), inPlace.data(), count);
            EXPECT_TRUE(count == 0 || std::memcmp(inPlace.data(), want.data() + 3, count * sizeof(double)) == 0)
                << KernelName(kind) << " count " << count;
        }
    }
    EXPECT_TRUE(kTanhKernels.For(BestKernel()));

    // Only arguments inside the evaluated range, so that whole vectors take the
    // common path, the near-midpoint ones (whose lanes are redone) among them.
    std::vector<double> inRange;
    for (double x : xs)
        if (std::fabs(x) >= 0x1p-27 && std::fabs(x) <= 19.0625) inRange.push_back(x);
    ASSERT_GT(inRange.size(), 40000u);
    ExpectEveryTanhKernelGivesTheScalarBits(inRange, "arguments inside the evaluated range");
}

TEST(TanhKernels, TheLimiterCurveInOnePassGivesTheValueByValueBits) {
    // The same arguments as above, through each characterised curve of the limiter,
    // the identity (which reaches the arguments near rounding boundaries) and silence.
    std::mt19937_64 rng(19);
    std::vector<double> xs = Binades(rng, 20000, -40, 5, true);
    const double inf = std::numeric_limits<double>::infinity();
    for (double s : {0.0, -0.0, inf, -inf, FromBits(0x7ff800000000abcdull), 0x1p-27, 19.0625, 1e300}) xs.push_back(s);
    for (const auto& h : NearMidpoints(mpfr_tanh, 50, [](mpfr_ptr x, int n) {
             Midpoint(x, 1.0, -(n + 0.5), -53);
             mpfr_atanh(x, x, MPFR_RNDN);
         }))
        xs.insert(xs.end(), {h.x, -h.x});
    std::shuffle(xs.begin(), xs.end(), rng);
    const struct {
        double slope, offset, scale;
    } curves[] = {{1.0, 0.0, 1.0},           {2.9, -0.031, 0.42763}, {4.166, 0.0, 0.3052015},
                  {3.112, 0.0, 0.40382619999999997}, {2.241, 1e-5, 0.5518765}, {0.0, 0.0, 0.0}};
    for (const auto& c : curves) {
        std::vector<double> want(xs.size());
        for (std::size_t i = 0; i < xs.size(); ++i) want[i] = c.scale * crmath::Tanh(c.slope * xs[i] + c.offset);
        for (KernelKind kind : kKernelKinds) {
            const ScaledTanhKernel kernel = kScaledTanhKernels.For(kind);
            if (!kernel) continue;
            std::vector<double> y(xs.size());
            kernel(xs.data(), y.data(), xs.size(), c.slope, c.offset, c.scale);
            EXPECT_EQ(std::memcmp(y.data(), want.data(), y.size() * sizeof(double)), 0)
                << KernelName(kind) << " slope " << c.slope;
            for (std::size_t count = 0; count <= 35; ++count) {
                std::vector<double> inPlace(xs.begin() + 5, xs.begin() + 5 + static_cast<std::ptrdiff_t>(count));
                kernel(inPlace.data(), inPlace.data(), count, c.slope, c.offset, c.scale);
                EXPECT_TRUE(count == 0 || std::memcmp(inPlace.data(), want.data() + 5, count * sizeof(double)) == 0)
                    << KernelName(kind) << " count " << count;
            }
        }
    }
}
