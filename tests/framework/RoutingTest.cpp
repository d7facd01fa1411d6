#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "framework/Fork.h"
#include "framework/TypeConverter.h"

using namespace CorvaneModelBuilder;

TEST(TypeConverterRound, RoundsHalvesAwayAndSaturates) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in;
        std::int32_t out;
    } cases[] = {
        {2.5, 3},
        {-2.5, -3},
        {0.4999, 0},
        {-0.5, -1},
        {119.6, 120},
        {119.5, 120},
        {2147483647.4, 2147483647},
        {2147483647.5, 2147483647},
        {3e9, 2147483647},
        {-3e9, std::numeric_limits<std::int32_t>::min()},
        {-2147483648.4, std::numeric_limits<std::int32_t>::min()},
        {inf, 2147483647},
        {-inf, std::numeric_limits<std::int32_t>::min()},
        {std::nan(""), std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& c : cases) EXPECT_EQ(TypeConverterRound::Convert(c.in), c.out) << c.in;
}

TEST(ScalarToScalar, ConvertsTheCurrentElement) {
    RoundingConverter conv;
    double in = 41.5;
    int out = 0;
    conv.Input.Attach(&in, 1);
    conv.Output.Attach(&out, 1);
    EXPECT_TRUE(conv.Setup());
    EXPECT_TRUE(conv.Initialize());
    EXPECT_TRUE(conv.Run());
    EXPECT_EQ(out, 42);
    EXPECT_TRUE(conv.Finalize());
}

TEST(Fork, CopiesToEveryOutput) {
    Fork<CircularBuffer<double>> fork;
    double in = 0, a = -1, b = -1;
    fork.Outputs.Resize(2);
    fork.Input.Attach(&in, 1);
    fork.Outputs.At(0)->Attach(&a, 1);
    fork.Outputs.At(1)->Attach(&b, 1);
    for (double v : {1.5, -7.0, 0.0}) {
        in = v;
        EXPECT_TRUE(fork.Run());
        EXPECT_EQ(a, v);
        EXPECT_EQ(b, v);
    }
}
