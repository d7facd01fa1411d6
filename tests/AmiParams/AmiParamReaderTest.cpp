#include <gtest/gtest.h>

#include <string>

#include "AmiParams/AmiParamReader.h"
#include "AmiParams/amialloc.h"
#include "support/SmallStack.h"

TEST(AmiParamReader, IntegerLookups) {
    const struct {
        const char* text;
        const char* path;
        bool found;
        std::int32_t value;
    } cases[] = {
        {"(Velkor_Rx (CDR_Threshold 3))", "Velkor_Rx.CDR_Threshold", true, 3},
        {"(Velkor_Rx (CDR_Threshold 3.9))", "Velkor_Rx.CDR_Threshold", true, 3},
        {"(Velkor_Rx (CDR_Threshold -3.9))", "Velkor_Rx.CDR_Threshold", true, -3},
        {"(Velkor_Rx (CDR_Threshold 3))", "Velkor_Rx.cdr_threshold", false, 0},
        {"(Velkor_Rx (corner \"fast\"))", "Velkor_Rx.corner", false, 0},
        {"(Velkor_Rx (corner True))", "Velkor_Rx.corner", false, 0},
        {"(Velkor_Rx (corner 2 5 7))", "Velkor_Rx.corner", true, 2},
        {"(Velkor_Rx (Sub (corner 2)))", "Velkor_Rx.corner", false, 0},
        {"(Velkor_Rx (Sub (corner 2)))", "Velkor_Rx.Sub.corner", true, 2},
        {"(Velkor_Rx (corner 1) (corner 2))", "Velkor_Rx.corner", true, 1},
        {"(Velkor_Rx (Sub (corner 4)) (Sub (corner 5)))", "Velkor_Rx.Sub.corner", true, 4},
        {"(Other (corner 1))", "Velkor_Rx.corner", false, 0},
        {"(Velkor_Rx (Sub (x 1)))", "Velkor_Rx.Sub", false, 0},
        {"( (corner 6))", "corner", true, 6},
        {"(Velkor_Rx (corner 3e9))", "Velkor_Rx.corner", false, 0},
        {"(Velkor_Rx (corner -2147483648.5))", "Velkor_Rx.corner", true, -2147483647 - 1},
        {"(Velkor_Rx (corner inf))", "Velkor_Rx.corner", false, 0},
        {"(Velkor_Rx (corner nan))", "Velkor_Rx.corner", false, 0},
        {"(Velkor_Rx (corner 1)", "Velkor_Rx.corner", false, 0},
    };
    for (const auto& c : cases) {
        AmiParamReader reader(c.text);
        std::int32_t value = 0;
        EXPECT_EQ(reader.GetInt(value, c.path), c.found) << c.text << " " << c.path;
        EXPECT_EQ(value, c.value) << c.text;
    }
    AmiParamReader none(nullptr);
    std::int32_t value = 5;
    EXPECT_FALSE(none.GetInt(value, "x"));
    EXPECT_EQ(value, 5);
}

TEST(AmiParamReader, OtherTypes) {
    AmiParamReader reader("(M (b1 True) (b2 False) (b3 true) (d 2.5e-3) (s \"hello there\") (w bare))");
    bool b = false;
    EXPECT_TRUE(reader.GetBool(b, "M.b1"));
    EXPECT_TRUE(b);
    EXPECT_TRUE(reader.GetBool(b, "M.b2"));
    EXPECT_FALSE(b);
    EXPECT_FALSE(reader.GetBool(b, "M.b3"));
    double d = 0;
    EXPECT_TRUE(reader.GetDouble(d, "M.d"));
    EXPECT_EQ(d, 2.5e-3);
    EXPECT_FALSE(reader.GetDouble(d, "M.s"));
    char* s = nullptr;
    EXPECT_TRUE(reader.GetString(s, "M.s"));
    EXPECT_STREQ(s, "hello there");
    EXPECT_TRUE(reader.GetString(s, "M.w"));  // the earlier text is freed first
    EXPECT_STREQ(s, "bare");
    EXPECT_FALSE(reader.GetString(s, "M.d"));
    EXPECT_STREQ(s, "bare");
    AmiFree(&s);
}

TEST(AmiParamReader, DeepNestingOnASmallStack) {
    // Parsing, look-up and freeing walk the tree without recursion: 200 000
    // nested lists are handled on a 256 KB stack.
    for (const std::size_t depth : {std::size_t{1}, std::size_t{7000}, std::size_t{200000}}) {
        const std::string text = DeeplyNested("M", depth, "(after 3)");
        std::string deepPath = "M";
        for (std::size_t i = 0; i < depth; ++i) deepPath += ".d";
        deepPath += ".x";
        std::int32_t deep = 0, after = 0, missing = 7;
        bool parsed = false;
        ASSERT_TRUE(RunOnSmallStack([&] {
            const AmiParamReader reader(text.c_str());
            parsed = reader.parsed();
            reader.GetInt(deep, deepPath.c_str());
            reader.GetInt(after, "M.after");
            reader.GetInt(missing, (deepPath + ".y").c_str());
        }));
        EXPECT_TRUE(parsed) << depth;
        EXPECT_EQ(deep, 1) << depth;
        EXPECT_EQ(after, 3) << depth;
        EXPECT_EQ(missing, 7) << depth;
    }
}
