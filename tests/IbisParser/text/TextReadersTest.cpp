// The one line splitter and the one case-insensitive comparison of the checker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IbisParser/text/casefold.h"
#include "IbisParser/text/words.h"

TEST(Items, RunsOfNonBlanksAndSeparatorsAlone) {
    const struct {
        const char* line;
        char separator;
        std::vector<std::string> items;
    } cases[] = {
        {"", '\0', {}},
        {" \t ", '\0', {}},
        {"  R_pkg  1m\t2m 3m  ", '\0', {"R_pkg", "1m", "2m", "3m"}},
        {"R_load=50", '=', {"R_load", "=", "50"}},
        {"R_load = 50 ohm", '=', {"R_load", "=", "50", "ohm"}},
        {"==", '=', {"=", "="}},
        {"1.2/0.5n", '/', {"1.2", "/", "0.5n"}},
        {"1.2/0.5n", '\0', {"1.2/0.5n"}},
        {"Windows_VisualStudio_32", '_', {"Windows", "_", "VisualStudio", "_", "32"}},
        {"_a_", '_', {"_", "a", "_"}},
        {"  a b\tc  ", '\0', {"a", "b", "c"}},
        {"x y z", '=', {"x", "y", "z"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (std::string_view item : Items(c.line, c.separator)) got.emplace_back(item);
        EXPECT_EQ(got, c.items) << "'" << c.line << "' at '" << c.separator << "'";
        if (c.separator == '\0') {
            std::vector<std::string> words;
            for (std::string_view w : Words(c.line)) words.emplace_back(w);
            EXPECT_EQ(words, c.items) << c.line;
        }
    }
}

TEST(CaseFold, SameAndStartsIgnoringAsciiCaseOnly) {
    const struct {
        const char* a;
        const char* b;
        bool same;
        bool starts;  // a begins with b
    } cases[] = {
        {"R_pkg", "r_PKG", true, true},
        {"NA", "na", true, true},
        {"NA", "N", false, true},
        {"N", "NA", false, false},
        {"[IBIS Ver] 7.2", "[ibis ver]", false, true},
        {"[IBIS_Ver]", "[IBIS Ver]", false, false},
        {"", "", true, true},
        {"x", "", false, true},
        {"\xC4", "\xE4", false, false},  // bytes beyond ASCII compare as themselves
        {"a1-_", "A1-_", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(SameIgnoringCase(c.b, c.a), c.same) << c.b << " / " << c.a;
        EXPECT_EQ(StartsIgnoringCase(c.a, c.b), c.starts) << c.a << " / " << c.b;
    }
    EXPECT_EQ(Lower("Model_Type C_Comp"), "model_type c_comp");
}
