#include <gtest/gtest.h>

#include <cmath>

#include "model/DC.h"
#include "model/Velkor_Rx.h"
#include "support/MpfrReference.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

namespace {

// The standard hyperbolic tangent, correctly rounded, from MPFR.
double Tanh(double x) { return MpfrNearest(mpfr_tanh, x); }

double Through(std::int32_t corner, std::int32_t boost, double in) {
    DC dc;
    dc.Corner = corner;
    dc.GainBoost = boost;
    dc.In = in;
    EXPECT_TRUE(dc.Run());
    return dc.Out;
}

}  // namespace

TEST(DC, CoefficientsByCornerAndBoost) {
    const struct {
        std::int32_t corner, boost;
        double slope, offset, scale, smallSignal;
    } cases[] = {
        {0, 1, 2.9, -0.031, 0.42763, 1.240127},
        {0, 0, 4.166, 0, 0.3052015, 1.271469},
        {1, 1, 3.112, 0, std::nextafter(0.4038262, 0.0), 1.256707},
        {1, 0, 4.324, 0, std::nextafter(0.2932041, 0.0), 1.267815},
        {2, 1, 2.241, 1e-5, 0.5518765, 1.236755},
        {2, 0, 3.925, 0, 0.3067824, 1.204121},
        {3, 1, 0, 0, 0, 0},
        {0, 2, 0, 0, 0, 0},
        {-1, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        DC dc;
        dc.Corner = c.corner;
        dc.GainBoost = c.boost;
        dc.In = 0.5;
        dc.Run();
        EXPECT_EQ(dc.Slope, c.slope) << c.corner << "/" << c.boost;
        EXPECT_EQ(dc.Offset, c.offset);
        EXPECT_EQ(dc.Scale, c.scale);
        // The curve's slope where it crosses zero, measured, against the check value.
        const double zero = c.slope != 0.0 ? -c.offset / c.slope : 0.0, h = 1e-6;
        const double slope = (Through(c.corner, c.boost, zero + h) - Through(c.corner, c.boost, zero - h)) / (2 * h);
        EXPECT_NEAR(slope, c.smallSignal, 5e-7) << c.corner << "/" << c.boost;
    }
}

TEST(DC, CharacterisedOutputs) {
    EXPECT_EQ(Through(0, 1, 0.0), 0.42763 * Tanh(-0.031));
    EXPECT_NEAR(Through(0, 1, 0.0), -0.01325228512327981, 1e-17);
    EXPECT_NEAR(Through(2, 1, 0.0), 5.518765e-06, 1e-12);
    EXPECT_NEAR(Through(1, 0, 1.0), 0.2931012, 1e-7);
    EXPECT_EQ(Through(3, 0, 1.0), 0.0);
    EXPECT_EQ(Through(0, 2, -4.0), 0.0);
}

TEST(DC, SaturatesAtPlusMinusScale) {
    for (double in : {10.0, 1e6, -10.0, -1e300}) {
        const double out = Through(0, 1, in);
        EXPECT_LE(std::fabs(out), 0.42763);
        EXPECT_NEAR(std::fabs(out), 0.42763, 1e-12);
    }
    EXPECT_TRUE(std::isnan(Through(0, 0, std::nan(""))));
}

TEST(DC, CornerChangeTakesEffectOnTheNextSample) {
    DC dc;
    dc.In = 1.0;
    dc.Run();
    const double first = dc.Out;
    dc.Corner = 2;
    dc.Run();
    EXPECT_NE(dc.Out, first);
    EXPECT_TRUE(dc.Initialize());
}

TEST(DC, EverySampleOfAReceiverRunIsTheCorrectlyRoundedCurve) {
    // The limiter inside the running receiver, sample by sample, against the curve
    // computed with MPFR's tanh: any difference in any bit is a defect.
    ScratchDirectory scratch;
    const auto wave = testwave::Channel(testwave::Prbs7(4000), 16, 0.3, 6.0);
    for (int corner : {0, 1, 2}) {
        Velkor_Rx model;
        double cells[4] = {};
        model.corner = corner;
        model.anlg_eql_gainboost = corner == 1 ? 0 : 1;
        model.InputPort.Attach(&cells[0], 1);
        model.OutputPort.Attach(&cells[1], 1);
        model.ClockPort.Attach(&cells[2], 1);
        model.IndexPort.Attach(&cells[3], 1);
        ASSERT_TRUE(model.Setup());
        ASSERT_TRUE(model.Initialize());
        std::size_t differing = 0;
        for (double x : wave) {
            model.InputPort.Current() = x;
            model.Run();
            const DC& dc = model.DcBlock;
            differing += dc.Out != dc.Scale * Tanh(dc.Slope * dc.In + dc.Offset);
        }
        EXPECT_EQ(differing, 0u) << "corner " << corner;
    }
}
