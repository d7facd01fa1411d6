// The one reader of AMI numbers: which texts are Integers and numbers, their
// values, and which Integers fit in 64 bits, alike on every platform.
#include <gtest/gtest.h>

#include <cmath>

#include "AmiParams/amiparse.h"

TEST(AmiNumbers, IntegersNumbersValuesAndRange) {
    const struct {
        const char* text;
        bool integer;
        bool number;
        double value;
        bool fits;  // as an Integer
        std::int32_t type;
    } cases[] = {
        {"42", true, true, 42, true, kAmiInteger},
        {"-7", true, true, -7, true, kAmiInteger},
        {"+3", true, true, 3, true, kAmiInteger},
        // Beyond 32 bits is an Integer everywhere, not only where long has 64.
        {"3000000000", true, true, 3e9, true, kAmiInteger},
        {"9223372036854775807", true, true, 9223372036854775807.0, true, kAmiInteger},
        {"9223372036854775808", true, true, 9223372036854775808.0, false, kAmiInteger},
        {"0.5", false, true, 0.5, true, kAmiFloat},
        {"1e-12", false, true, 1e-12, true, kAmiFloat},
        {"2.5E3", false, true, 2500, true, kAmiFloat},
        {"12ps", false, false, 12, true, kAmiText},
        {"True", false, false, 0, true, kAmiBoolean},
        {"\"text\"", false, false, 0, true, kAmiText},
        {"-", false, false, 0, true, kAmiText},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAmiIntegerText(c.text), c.integer) << c.text;
        EXPECT_EQ(IsAmiNumberText(c.text), c.number) << c.text;
        if (c.number || c.value != 0) {
            EXPECT_DOUBLE_EQ(AmiNumberValue(c.text), c.value) << c.text;
        }
        if (c.integer) {
            EXPECT_EQ(AmiIntegerFits(c.text), c.fits) << c.text;
        }
        EXPECT_EQ(ClassifyValueType(c.text), c.type) << c.text;
    }
    // A number's text beyond any double reads as infinite: the checker refuses it.
    EXPECT_TRUE(IsAmiNumberText("1e999"));
    EXPECT_TRUE(std::isinf(AmiNumberValue("1e999")));
    EXPECT_EQ(ClassifyValueType(""), kAmiNoText);
}
