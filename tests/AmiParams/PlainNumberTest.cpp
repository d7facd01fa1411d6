// Numbers read as strtod reads them in the "C" locale, in any locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "AmiParams/AmiParamReader.h"
#include "AmiParams/amiparse.h"
#include "AmiParams/plainnumber.h"
#include "support/CommaLocale.h"

namespace {

using amiparams::ReadPlainNumber;

bool SameBits(double a, double b) {
    if (std::isnan(a) && std::isnan(b)) return std::signbit(a) == std::signbit(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Texts at the edges of strtod's grammar: signs, blanks, points, exponents with
// nothing after them, hexadecimal significands and exponents, the words, values
// beyond the doubles at both ends, subnormals, and texts that are no number.
const char* const kTexts[] = {
    "0", "-0", "+0", "0.5", "-0.5", "+.5", ".5", "5.", ".", "-", "+", "--5", "+-5", "- 5", " 7", "\t\n-7.25",
    "1e5", "1E-5", "1e", "1e+", "1e-x", "2.5E3ps", "12ps", "1,5", "1.5.2", "e5", "0x", "0x1", "0X1A", "0x.8",
    "0x1p3", "-0x1.8P-1", "0xg", "0x.", "0x1p", "inf", "-Inf", "INFINITY", "infinit", "nan", "NaN(123)", "-nan",
    "nanx", "1e999", "-1e999", "1e-400", "-1e-400", "3e-324", "2e-324", "2.4703282292062328e-324",
    "2.4703282292062327e-324", "1e-310", "1.7976931348623157e308", "1.7976931348623159e308", "0.000e999",
    "000123.4500e-2", "0.0000001e-320", "123456789012345678901234567890e-330", "0x1p99999", "0x1p-99999",
    "9007199254740993", "True", "\"0.5\"", "",
};

}  // namespace

TEST(PlainNumber, ReadsWhatStrtodReadsInTheCLocale) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    for (const char* text : kTexts) {
        char* strtodEnd = nullptr;
        const double expected = std::strtod(text, &strtodEnd);
        double value = -1.0;
        const char* end = ReadPlainNumber(text, value);
        EXPECT_EQ(end - text, strtodEnd - text) << "'" << text << "'";
        EXPECT_TRUE(SameBits(value, expected)) << "'" << text << "': " << value << " against " << expected;
    }
}

TEST(PlainNumber, ACommaLocaleChangesNothing) {
    CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << CommaLocale::kWhyInactive;
    // The locale does what it is made for: strtod stops at the point.
    EXPECT_EQ(std::strtod("0.5", nullptr), 0.0);

    double value = 0.0;
    EXPECT_STREQ(ReadPlainNumber("0.5", value), "");
    EXPECT_EQ(value, 0.5);
    EXPECT_STREQ(ReadPlainNumber("1,5", value), ",5");  // a comma is no decimal point here
    EXPECT_EQ(value, 1.0);

    EXPECT_EQ(ClassifyValueType("2.7"), kAmiFloat);
    EXPECT_EQ(ClassifyValueType("1,5"), kAmiText);
    const AmiParamReader reader("(Rx (x 0.25) (n 2.7))");
    double x = 0.0;
    std::int32_t n = 0;
    ASSERT_TRUE(reader.GetDouble(x, "Rx.x"));
    EXPECT_EQ(x, 0.25);
    ASSERT_TRUE(reader.GetInt(n, "Rx.n"));
    EXPECT_EQ(n, 2);
}
